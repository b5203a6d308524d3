#pragma once
// The download history: one JSON line per file sent to a printer, appended
// by every front end to a file in the user's state directory, so that what
// went to which printer, when, and how it ended can be looked up later.

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace upkeep {

namespace history {

// A file as the printer was sent it: what the history identifies it by.
struct FileFacts {
    std::string path;
    std::uint64_t size = 0;  // the bytes sent
    std::string sha256;      // lower-case hex of those bytes; empty when none was sent
};

// Hashes a file's bytes as the send loop writes them, so that the record
// names what the printer got even when the file on disk is replaced during
// or after the transfer.
class SentBytes {
  public:
    SentBytes();
    ~SentBytes();
    SentBytes(const SentBytes&) = delete;
    SentBytes& operator=(const SentBytes&) = delete;

    void add(const std::uint8_t* bytes, std::size_t length);
    // The path, the count of bytes added and their SHA-256; once only.
    FileFacts finish();

    std::string path;  // the file the bytes were read from

  private:
    struct Digest;
    std::unique_ptr<Digest> digest_;
    std::uint64_t size_ = 0;
};

inline constexpr const char* kNotAsked = "not asked";
// Asked, with no result recorded yet: a later line of the same download
// gives it, unless the tool ended before the printer was checked.
inline constexpr const char* kPending = "pending";

struct Record {
    // Names one download's file: a later line with the same id supersedes
    // the earlier one (the file stays append-only). Empty in old lines.
    std::string id;
    std::string time;  // UTC, ISO 8601
    std::string printer;
    std::string port;
    std::string model;    // before the download
    std::string version;  // before the download, then ", SUBMODEL VERSION" per subsystem
    FileFacts file;
    std::string outcome;                   // sent, failed, canceled
    std::string verification = kNotAsked;  // verified, not verified: ..., not asked, pending
    // What was asked and by whom; empty (0) in lines of older versions.
    std::string operation;      // upgrade, downgrade, send
    std::string targetVersion;  // the version the file brings; empty for a file of one's choice
    std::string package;        // the package's state (signed, unsigned, untrusted), or "none"
    std::string user, host;
    std::uint64_t durationMs = 0;  // the transfer, from the first byte read to its end
};

// Who runs this process, and on which computer, for new records.
std::string currentUser();
std::string currentHost();

// The current time for a record.
std::string now();

// A new record id, unique for practical purposes across processes.
std::string newId();

// UPKEEP_HISTORY, else $XDG_STATE_HOME/upkeep/history.jsonl, else
// ~/.local/state/upkeep/history.jsonl; empty when none can be named.
std::string path();

std::string toLine(const Record& record);
std::optional<Record> fromLine(std::string_view line);

// Longest line the history reads; a longer one is skipped.
inline constexpr std::size_t kMaxLine = 64 * 1024;

// Appends the records (creating the directory), whole or not at all; false
// with the reason. Lines of concurrent writers never interleave. Only a
// regular file is written.
bool append(const std::vector<Record>& records, std::string& problem);

struct Contents {
    // Oldest first; a record superseded by a later line of its id shows as
    // that line, in the first line's place.
    std::vector<Record> records;
    std::vector<std::string> warnings;  // lines skipped, and why
    std::string problem;                // set when the file exists but cannot be read as a history
};
// A file that does not exist is an empty history.
Contents read(const std::string& file);

}  // namespace history
}  // namespace upkeep
