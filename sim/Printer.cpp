#include "Printer.h"

#include "Text.h"

namespace upkeep::sim {

namespace oid {

std::string subsystemModel(int k) {
    return "1.3.6.1.3.77.2." + std::to_string(k) + ".1.0";
}
std::string subsystemVersion(int k) {
    return "1.3.6.1.3.77.2." + std::to_string(k) + ".2.0";
}
// The media table's two columns, where the program looks for them.
std::string mediaInkSet(int row) {
    return "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1." + std::to_string(row) + ".0";
}
std::string mediaName(int row) {
    return "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.2." + std::to_string(row) + ".0";
}

}  // namespace oid

Printer::Printer(PrinterConfig config)
    : config_(std::move(config)),
      version_(config_.version),
      subsystems_(config_.subsystems),
      media_(config_.media) {}

std::optional<std::string> Printer::objectText(const std::string& oidText) const {
    if (auto it = config_.objects.find(oidText); it != config_.objects.end())
        return it->second;
    std::lock_guard lock(mutex_);
    if (oidText == oid::kModel && !config_.model.empty())
        return config_.model;
    if (oidText == oid::kVersion && !config_.model.empty())
        return version_;
    for (std::size_t i = 0; i < subsystems_.size(); ++i) {
        const int k = static_cast<int>(i) + 1;
        if (oidText == oid::subsystemModel(k))
            return subsystems_[i].model;
        if (oidText == oid::subsystemVersion(k))
            return subsystems_[i].version;
    }
    for (std::size_t i = 0; i < media_.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        if (oidText == oid::mediaInkSet(row))
            return media_[i].inkSet;
        if (oidText == oid::mediaName(row))
            return media_[i].name;
    }
    return std::nullopt;
}

std::string Printer::version() const {
    std::lock_guard lock(mutex_);
    return version_;
}

std::vector<Subsystem> Printer::subsystems() const {
    std::lock_guard lock(mutex_);
    return subsystems_;
}

std::vector<Media> Printer::media() const {
    std::lock_guard lock(mutex_);
    return media_;
}

Printer::Target Printer::findTarget(const std::string& model, std::string& currentVersion) const {
    std::lock_guard lock(mutex_);
    if (!config_.model.empty() && equalsIgnoreCase(model, config_.model)) {
        currentVersion = version_;
        return Target::Printer;
    }
    for (const Subsystem& s : subsystems_) {
        if (equalsIgnoreCase(model, s.model)) {
            currentVersion = s.version;
            return Target::Subsystem;
        }
    }
    return Target::None;
}

bool Printer::restarting() const {
    std::lock_guard lock(mutex_);
    return std::chrono::steady_clock::now() < restartEnds_;
}

void Printer::setVersion(const std::string& model, const std::string& version) {
    std::lock_guard lock(mutex_);
    restartEnds_ = std::chrono::steady_clock::now() + std::chrono::milliseconds(config_.restartMs);
    if (!config_.model.empty() && equalsIgnoreCase(model, config_.model)) {
        version_ = version;
        return;
    }
    for (Subsystem& s : subsystems_) {
        if (equalsIgnoreCase(model, s.model)) {
            s.version = version;
            return;
        }
    }
}

void Printer::addMedia(Media m) {
    std::lock_guard lock(mutex_);
    for (const Media& existing : media_) {
        if (existing.inkSet == m.inkSet && existing.name == m.name)
            return;
    }
    media_.push_back(std::move(m));
}

}  // namespace upkeep::sim
