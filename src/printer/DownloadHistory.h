#pragma once
// The download history: one JSON line per file sent to a printer, appended
// by every front end to a file in the user's state directory, so that what
// went to which printer, when, and how it ended can be looked up later.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace upkeep {

class CatalogueEntry;

namespace history {

// A file as it was on disk when sent: what the history identifies it by.
struct FileFacts {
    std::string path;
    std::uint64_t size = 0;
    std::string sha256;  // lower-case hex; empty when the file could not be read
};

// Finds the entry's file as a download does and reads it whole.
FileFacts describe(const CatalogueEntry& entry);

inline constexpr const char* kNotAsked = "not asked";

struct Record {
    std::string time;  // UTC, ISO 8601
    std::string printer;
    std::string port;
    std::string model;    // before the download
    std::string version;  // before the download, then ", SUBMODEL VERSION" per subsystem
    FileFacts file;
    std::string outcome;                   // sent, failed, canceled
    std::string verification = kNotAsked;  // verified, not verified: ..., not asked
};

// The current time for a record.
std::string now();

// UPKEEP_HISTORY, else $XDG_STATE_HOME/upkeep/history.jsonl, else
// ~/.local/state/upkeep/history.jsonl; empty when none can be named.
std::string path();

std::string toLine(const Record& record);
std::optional<Record> fromLine(std::string_view line);

// Appends the records (creating the directory); false with the reason.
// Lines of concurrent writers never interleave.
bool append(const std::vector<Record>& records, std::string& problem);

struct Contents {
    std::vector<Record> records;
    std::vector<std::string> warnings;  // lines skipped, and why
};
// A file that does not exist is an empty history.
Contents read(const std::string& file);

}  // namespace history
}  // namespace upkeep
