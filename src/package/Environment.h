#pragma once
// The one platform object the package, the discovery and the start-up reach
// the operating system through: the printer search, the settings and the
// operating system's kind. The answers are copies, so callers on different
// threads never share storage.

#include <cstdint>
#include <optional>
#include <string>

#include "connection/PortDescriptor.h"

namespace upkeep {

class PrinterList;

// Operating-system families the parallel port tells apart; Linux is 0.
enum class OsKind : std::uint32_t {
    Unknown = 0,
    Win9x = 2,
    WinNt = 3,
    WinNt5 = 4,
};

class Environment {
  public:
    // The settings key below HKEY_LOCAL_MACHINE and its values.
    static constexpr const char* kSettingsKey = "SOFTWARE\\Varnholt\\Meridot Upkeep";
    static constexpr const char* kCatalogueValue = "Firmware";
    static constexpr const char* kSoftwarePathValue = "Path";
    static constexpr const char* kLanguageValue = "LANG";
    static constexpr const char* kKeyringValue = "Keyring";
    static constexpr const char* kRequireSignedValue = "RequireSigned";
    static constexpr const char* kStartupFileName = "startup";

    Environment() = default;
    Environment(const Environment&) = delete;
    Environment& operator=(const Environment&) = delete;

    // Fills a new list with the printers configured on this computer.
    virtual void findPrinters(PrinterList& list) = 0;
    // The catalogue file named in the settings ("Firmware"): a full path,
    // File, channel 6; none when the setting cannot be read.
    virtual std::optional<PortDescriptor> catalogueFileDescriptor() = 0;
    // The directory prefix for system software files ("Path"), at most 255
    // characters; file names are appended directly. None when unreadable.
    virtual std::optional<std::string> systemSoftwarePath() = 0;
    // The language setting ("LANG"): true and its lowest byte, or false.
    virtual bool languageSetting(std::uint8_t& out) = 0;
    virtual OsKind osKind() = 0;
    // A keyring file whose keys sign packages ("Keyring"); none when unset.
    virtual std::optional<std::string> keyringFile() { return std::nullopt; }
    // Unsigned packages are refused ("RequireSigned" = 1).
    virtual bool requireSigned() { return false; }
    virtual ~Environment() = default;

    // The start-up request file in the working directory.
    PortDescriptor startupFileDescriptor() const;

    // The program's environment. Never absent in the program; tests may
    // substitute one (or none) with ScopedEnvironment.
    static Environment* instance();

  private:
    friend class ScopedEnvironment;
    static Environment* exchangeOverride(Environment* environment, bool active, bool& wasActive);
};

// The settings-backed environment of this platform. The settings are read
// from the registry stand-in at each query, as the program never caches them.
class LinuxEnvironment final : public Environment {
  public:
    void findPrinters(PrinterList& list) override;
    std::optional<PortDescriptor> catalogueFileDescriptor() override;
    std::optional<std::string> systemSoftwarePath() override;
    bool languageSetting(std::uint8_t& out) override;
    // Linux is none of the kinds; Windows answers from its version record
    // (linux/, windows/OsKind.cpp).
    OsKind osKind() override;
    std::optional<std::string> keyringFile() override;
    bool requireSigned() override;
};

// Makes instance() answer with the given environment (which may be null, to
// stand for an absent one) for the lifetime of the object. Tests only.
class ScopedEnvironment {
  public:
    explicit ScopedEnvironment(Environment* environment);
    ~ScopedEnvironment();
    ScopedEnvironment(const ScopedEnvironment&) = delete;
    ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

  private:
    Environment* previous_;
    bool previousActive_ = false;
};

}  // namespace upkeep
