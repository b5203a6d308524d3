#pragma once
// The transport every byte to a printer, and every local file the program
// reads, goes through. Made by createConnection from a PortDescriptor;
// opened once, used, then destroyed (never reopened).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "connection/PortDescriptor.h"

namespace upkeep {

class Connection {
  public:
    virtual ~Connection() = default;
    Connection() = default;
    Connection(const Connection&) = delete;
    Connection& operator=(const Connection&) = delete;

    // Size of the transfer buffer callers allocate for this kind.
    virtual std::uint32_t blockSize() const = 0;
    virtual bool open() = 0;
    // length is in-out: capacity of buffer on entry, bytes received on return.
    virtual bool read(std::uint8_t* buffer, std::size_t& length) = 0;
    virtual bool write(const std::uint8_t* buffer, std::size_t length) = 0;
    // After the last write of a transfer: true when the receiver took it all.
    // A written block may only have reached a buffer on this side; kinds
    // that can tell more than their writes did wait here.
    virtual bool finishSending() { return true; }
    // The receiver threw the connection away (a reset), as opposed to a read
    // that only found nothing: it did not take what it was sent.
    virtual bool peerReset() const { return false; }

    // A word that, once true, ends any wait of a write or of finishSending
    // in failure: a transfer must end when it is canceled, however long the
    // device would make it wait. Null: nothing to watch.
    void watchCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    virtual std::uint32_t size() = 0;
    virtual bool remove() = 0;
    virtual bool create() = 0;

  protected:
    bool canceled() const { return cancel_ && cancel_->load(); }
    const std::atomic<bool>* cancelWord() const { return cancel_; }

  private:
    const std::atomic<bool>* cancel_ = nullptr;
};

// A connection of the kind the descriptor's port type selects, or none.
std::unique_ptr<Connection> createConnection(const PortDescriptor& descriptor);

}  // namespace upkeep
