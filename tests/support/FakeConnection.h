#pragma once
// Connections for tests: a memory file, a printer that records what it is
// sent and can fail after a number of bytes, and a transfer's controls.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "connection/Connection.h"
#include "printer/SendEngine.h"

namespace upkeep::test {

class MemoryFile : public Connection {
  public:
    explicit MemoryFile(std::string content, std::uint32_t block = 4096)
        : content_(std::move(content)), block_(block) {}
    std::uint32_t blockSize() const override { return block_; }
    bool open() override { return true; }
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    bool write(const std::uint8_t*, std::size_t) override { return false; }
    std::uint64_t size() override { return content_.size(); }
    bool remove() override { return false; }
    bool create() override { return false; }

    // Fails every read from this offset on, as a broken disk would.
    std::size_t failReadAt = static_cast<std::size_t>(-1);
    // Hands out at most this many bytes per read, so that texts fall across refills.
    std::size_t chunk = static_cast<std::size_t>(-1);
    int reads = 0;

  private:
    std::string content_;
    std::uint32_t block_;
    std::size_t offset_ = 0;
};

class RecordingPrinter : public Connection {
  public:
    explicit RecordingPrinter(std::uint32_t block = 1024) : block_(block) {}
    std::uint32_t blockSize() const override { return block_; }
    bool open() override { return opens_; }
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    bool write(const std::uint8_t* buffer, std::size_t length) override;
    bool finishSending(const UnconfirmedReport&) override { return takesAll; }
    bool awaitTaken(const UnconfirmedReport&) override { return takesAll; }
    std::uint64_t unconfirmed() const override { return unconfirmedBytes; }
    std::uint64_t size() override { return 0; }
    bool remove() override { return false; }
    bool create() override { return false; }

    std::string received;
    std::uint64_t total = 0;             // bytes written, kept or not
    bool keep = true;                    // false: only counted, for files of gigabytes
    bool takesAll = true;                // what the finishing wait finds
    std::uint64_t unconfirmedBytes = 0;  // written but not yet taken
    std::vector<std::size_t> writes;
    bool opens_ = true;
    std::size_t failAfterBytes = static_cast<std::size_t>(-1);
    std::vector<std::string> replies;  // handed out one per read
    std::function<void(std::size_t writeIndex)> onWrite;

  private:
    std::uint32_t block_;
};

// The cancel flag and progress a transfer reports to; progress starts at -1
// so that a transfer that never sets it shows.
struct Transfer {
    std::atomic<bool> cancel{false};
    std::atomic<int> progress{-1};
    TransferControl control{cancel, progress};
};

}  // namespace upkeep::test
