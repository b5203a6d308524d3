#pragma once
// One simulated printer at run time: its configuration and what changes
// while it runs (versions after a download, profiles after an install).
// Shared by the SNMP agent, the data-port connections and the pty.

#include <atomic>
#include <chrono>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "Config.h"

namespace upkeep::sim {

// The objects every engineer's tests ask for.
namespace oid {
inline constexpr const char* kModel = "1.3.6.1.3.77.1.1.0";
inline constexpr const char* kVersion = "1.3.6.1.3.77.1.2.0";
std::string subsystemModel(int k);    // k = 1..8: 1.3.6.1.3.77.2.k.1.0
std::string subsystemVersion(int k);  // 1.3.6.1.3.77.2.k.2.0
std::string mediaInkSet(int row);     // rows from 1
std::string mediaName(int row);
}  // namespace oid

class Printer {
  public:
    explicit Printer(PrinterConfig config);

    const PrinterConfig& config() const { return config_; }
    const std::string& address() const { return config_.address; }

    // The value of an object, as text without the leading octets.
    std::optional<std::string> objectText(const std::string& oidText) const;

    std::string version() const;
    std::vector<Subsystem> subsystems() const;
    std::vector<Media> media() const;

    enum class Target { None, Printer, Subsystem };
    // Which part a file for `model` is for, and the version it has now.
    Target findTarget(const std::string& model, std::string& currentVersion) const;
    // Takes a new version on; the printer then restarts: silent for the
    // configured restart time.
    void setVersion(const std::string& model, const std::string& version);
    bool restarting() const;
    void addMedia(Media m);

    int nextConnectionNumber() { return ++connections_; }

  private:
    const PrinterConfig config_;
    mutable std::mutex mutex_;
    std::string version_;
    std::vector<Subsystem> subsystems_;
    std::vector<Media> media_;
    std::chrono::steady_clock::time_point restartEnds_{};
    std::atomic<int> connections_{0};
};

}  // namespace upkeep::sim
