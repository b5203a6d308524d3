#include "package/Environment.h"

#include <atomic>
#include <mutex>
#include <vector>

#include "discovery/FindPrinters.h"
#include "platform/Registry.h"

namespace upkeep {
namespace {

struct Override {
    std::mutex lock;
    Environment* environment = nullptr;
    std::atomic<bool> active{false};
};

Override& override() {
    static Override state;
    return state;
}

// A settings value read into a buffer of the given size, whatever its type:
// none when the key or value is missing or the value does not fit.
std::optional<std::vector<std::uint8_t>> readSetting(const char* name, std::size_t capacity) {
    std::optional<platform::RegistryKey> key =
        platform::Registry::system().openKey(Environment::kSettingsKey);
    if (!key)
        return std::nullopt;
    return key->readBytes(name, capacity);
}

std::optional<std::string> readTextSetting(const char* name) {
    std::optional<std::vector<std::uint8_t>> bytes = readSetting(name, 256);
    if (!bytes)
        return std::nullopt;
    std::string text(bytes->begin(), bytes->end());
    return text.substr(0, text.find('\0'));
}

}  // namespace

PortDescriptor Environment::startupFileDescriptor() const {
    return PortDescriptor(kStartupFileName, PortType::File, channel::kWorkingDirCatalogue);
}

Environment* Environment::instance() {
    static LinuxEnvironment single;
    Override& state = override();
    if (state.active.load(std::memory_order_acquire)) {
        std::lock_guard guard(state.lock);
        if (state.active.load(std::memory_order_relaxed))
            return state.environment;
    }
    return &single;
}

Environment* Environment::exchangeOverride(Environment* environment, bool active, bool& wasActive) {
    Override& state = override();
    std::lock_guard guard(state.lock);
    Environment* previous = state.environment;
    wasActive = state.active.load(std::memory_order_relaxed);
    state.environment = environment;
    state.active.store(active, std::memory_order_release);
    return previous;
}

// The spooler's printers; a spooler that cannot be asked leaves the list
// as it was.
void LinuxEnvironment::findPrinters(PrinterList& list) {
    discovery::findSystemPrinters(list);
}

std::optional<PortDescriptor> LinuxEnvironment::catalogueFileDescriptor() {
    std::optional<std::string> path = readTextSetting(kCatalogueValue);
    if (!path || !PortDescriptor::fits(*path))
        return std::nullopt;
    return PortDescriptor(*path, PortType::File, channel::kSettingsPath);
}

std::optional<std::string> LinuxEnvironment::systemSoftwarePath() {
    return readTextSetting(kSoftwarePathValue);
}

bool LinuxEnvironment::languageSetting(std::uint8_t& out) {
    // Read into four bytes whatever the type: a number gives its lowest
    // byte, a short text the code of its first character.
    std::optional<std::vector<std::uint8_t>> bytes = readSetting(kLanguageValue, 4);
    if (!bytes)
        return false;
    out = bytes->empty() ? 0 : bytes->front();
    return true;
}

std::optional<std::string> LinuxEnvironment::keyringFile() {
    return readTextSetting(kKeyringValue);
}

bool LinuxEnvironment::requireSigned() {
    // A number, or a text for those who write it so: 0 or nothing is off.
    std::optional<platform::RegistryKey> key = platform::Registry::system().openKey(kSettingsKey);
    if (!key)
        return false;
    if (std::optional<std::uint32_t> number = key->readDword(kRequireSignedValue))
        return *number != 0;
    std::optional<std::string> text = key->readText(kRequireSignedValue);
    return text && !text->empty() && *text != "0";
}

ScopedEnvironment::ScopedEnvironment(Environment* environment) {
    previous_ = Environment::exchangeOverride(environment, true, previousActive_);
}

ScopedEnvironment::~ScopedEnvironment() {
    bool ignored = false;
    Environment::exchangeOverride(previous_, previousActive_, ignored);
}

}  // namespace upkeep
