#pragma once
// The simulator's configuration: one entry per simulated printer, read from
// an INI-like file (see README.md) or from command-line flags.

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace upkeep::sim {

struct Subsystem {
    std::string model;
    std::string version;
};

struct Media {
    std::string inkSet;
    std::string name;
};

enum class SnmpMode { Normal, Silent, Error, Malformed, Raw };
enum class DataMode { Normal, CloseAfter, Stall, Slow, HalfClose };
enum class PjlMode { Normal, Silent, EchoOnly };

struct PrinterConfig {
    std::string address;  // 127.x.y.z or ::1
    int dataPort = 9100;
    std::string community = "quenby";
    std::string model;
    std::string version;
    std::vector<Subsystem> subsystems;           // at most 8
    std::map<std::string, std::string> objects;  // OID text -> value text
    std::string valuePrefix = std::string(2, '\0');

    SnmpMode snmp = SnmpMode::Normal;
    int snmpErrorStatus = 0;                    // SnmpMode::Error
    std::string snmpRaw;                        // SnmpMode::Raw: the bytes sent back
    std::set<std::string> snmpDrop;             // bindings left out of responses
    std::optional<std::int64_t> snmpRequestId;  // answer with this id instead

    DataMode data = DataMode::Normal;
    std::uint64_t dataLimit = 0;  // CloseAfter, HalfClose: bytes; Slow: bytes per second
    // A 4 KiB receive window, or the kernel's own (autotuned); unset: small
    // for Stall, Slow and HalfClose.
    std::optional<bool> smallWindow;

    PjlMode pjl = PjlMode::Normal;
    std::optional<std::string> identifyReply;

    std::vector<Media> media;
    std::optional<std::string> profileAnswer = std::string("0");  // nullopt: no answer
    std::string profileLineEnd = "\r\n";
    int profileIdleMs = 300;
    int restartMs = 0;  // silent this long after applying a file

    bool pty = false;
};

struct Config {
    std::string recordDir;  // empty: received bytes are counted, not stored
    std::vector<PrinterConfig> printers;
};

// Reads config text; on failure returns nullopt and sets `error` to
// "LINE: reason".
std::optional<Config> parseConfig(const std::string& text, std::string& error);

// Applies one `key = value` to a printer (shared by the file and the flags).
// Returns an empty string on success, else the reason.
std::string applyPrinterKey(PrinterConfig& printer, const std::string& key,
                            const std::string& value);

}  // namespace upkeep::sim
