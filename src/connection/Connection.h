#pragma once
// The transport every byte to a printer, and every local file the program
// reads, goes through. Made by createConnection from a PortDescriptor;
// opened once, used, then destroyed (never reopened).

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>

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
    // Told, while a finishing wait goes on, how many written bytes the
    // receiver has not confirmed yet.
    using UnconfirmedReport = std::function<void(std::uint64_t unconfirmed)>;

    // After the last write of a download: true when the receiver took it
    // all, and the stream is ended. A written block may only have reached a
    // buffer on this side; kinds that can tell more than their writes did
    // wait here.
    virtual bool finishSending(const UnconfirmedReport& report) {
        (void)report;
        return true;
    }
    // After the last write of an exchange whose answer is still to be read
    // (a media profile): true when the receiver took every byte; the stream
    // stays open for the answer.
    virtual bool awaitTaken(const UnconfirmedReport& report) {
        (void)report;
        return true;
    }
    // Written bytes the receiver has not confirmed yet (0 for kinds that
    // cannot tell): a transfer's progress counts only what was taken.
    virtual std::uint64_t unconfirmed() const { return 0; }
    // The receiver did not take what it was sent, as opposed to a read that
    // only found nothing: it threw the connection away (a reset), or ended
    // its side with bytes it had acknowledged still unread.
    virtual bool peerDropped() const { return false; }
    // After a failed write or finishing wait, a stable word for why:
    // "closedEarly" (the receiver ended or reset the stream) or "stalled"
    // (it stopped taking bytes); empty for kinds that cannot tell.
    virtual std::string failureCode() const { return canceled() ? std::string() : "stalled"; }

    // A word that, once true, ends any wait of open, a write or a finishing
    // wait in failure: a transfer must end when it is canceled, however long
    // the device would make it wait. Null: nothing to watch. Set it before
    // open.
    void watchCancel(const std::atomic<bool>* cancel) { cancel_ = cancel; }
    // Told, while a write waits for room, how many bytes the receiver has
    // not confirmed, counting the rest of the block being written as
    // unconfirmed: a slow receiver's progress shows during the wait too.
    // Kinds that cannot tell say nothing. Null: nothing to tell.
    void reportWhileWriting(const UnconfirmedReport* report) { writeReport_ = report; }
    virtual std::uint64_t size() = 0;
    virtual bool remove() = 0;
    virtual bool create() = 0;

  protected:
    bool canceled() const { return cancel_ && cancel_->load(); }
    const std::atomic<bool>* cancelWord() const { return cancel_; }
    const UnconfirmedReport* writeReport() const { return writeReport_; }

  private:
    const std::atomic<bool>* cancel_ = nullptr;
    const UnconfirmedReport* writeReport_ = nullptr;
};

// A connection of the kind the descriptor's port type selects, or none.
std::unique_ptr<Connection> createConnection(const PortDescriptor& descriptor);

}  // namespace upkeep
