#pragma once
// Streams a system software file to a printer block by block, in the
// printer connection's block size, never holding the file whole.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

#include "connection/Connection.h"

namespace upkeep {

class CatalogueEntry;
struct Refusal;
namespace history {
class SentBytes;
}

enum class SendResult {
    Sent = 0,          // every byte of the file was written
    NoConnection = 1,  // no printer connection, or it did not open
    WriteFailed = 2,   // a write failed, the file could not be read whole, or no memory
    FileNotFound = 3,  // the entry's file is in none of its places
    Canceled = 4,      // stopped by the cancel word: not everything was sent
    EmptyFile = 5,     // the file holds no byte: nothing was sent
    Refused = 6,       // a package file that failed its check: nothing was sent
};

// Progress counts in ten-thousandths of the file: on a slow printer a whole
// percent can take seconds, and the bar should move with its first bytes.
inline constexpr int kProgressWhole = 10'000;

// The share of the file taken, in kProgressWhole units, short of the whole:
// the whole is kept for a transfer that succeeded.
int takenShare(std::uint64_t taken, std::uint64_t total);

// Shows on `progress` the share of `total` bytes the printer has taken:
// the bytes written less those still in this side's buffers, and, while a
// write waits for room, the block being written as well, so that what a
// slow printer takes meanwhile still shows. Watches the connection's
// writes while it lives.
class TakenProgress {
  public:
    TakenProgress(Connection& printer, std::atomic<int>& progress, std::uint64_t total);
    ~TakenProgress();
    TakenProgress(const TakenProgress&) = delete;
    TakenProgress& operator=(const TakenProgress&) = delete;

    // A write of `length` bytes begins.
    void writing(std::size_t length) { writing_ = length; }
    // It succeeded: the bytes count as sent, and what was taken shows.
    void written();
    std::uint64_t sent() const { return sent_; }
    // The report for the finishing waits.
    const Connection::UnconfirmedReport& report() const { return afterWrites_; }

  private:
    void show(std::uint64_t through, std::uint64_t unconfirmed) const;

    Connection& printer_;
    std::atomic<int>& progress_;
    const std::uint64_t total_;
    std::uint64_t sent_ = 0;
    std::uint64_t writing_ = 0;
    const Connection::UnconfirmedReport whileWriting_;
    const Connection::UnconfirmedReport afterWrites_;
};

// What a running transfer shares with whoever watches it.
struct TransferControl {
    const std::atomic<bool>& cancel;
    // Share of the file the printer has taken, 0 to kProgressWhole; the
    // whole only once the send has succeeded.
    std::atomic<int>& progress;
    // When set, given every byte the printer was written, and the file's path.
    history::SentBytes* sent = nullptr;
    // When set, told why a file was refused (the file and the reason).
    Refusal* refusal = nullptr;
    // When set, given the printer connection's word for a failed transfer.
    std::string* failure = nullptr;
};

// The downgrade rewrite of a first block: the first line whose characters
// at offsets 0, 2, 4 and 6 are each "0" or "7" gets "7" at offset 0.
// Returns whether a line matched.
bool rewriteForDowngrade(std::uint8_t* block, std::size_t length);

// The engine proper over an open file and a printer connection that is
// not open yet (opened here, after the block is allocated).
SendResult streamFile(Connection& file, Connection& printer, bool downgrade,
                      const TransferControl& control);

// Sends the entry's file to the port's data channel. Clears the entry's
// downgrade mark once its first block was read. A file of a signed or
// untrusted package is checked whole against the package's list before the
// printer is spoken to, and the checked bytes are the ones sent.
SendResult sendEntry(CatalogueEntry& entry, const PortDescriptor& port,
                     const TransferControl& control);

}  // namespace upkeep
