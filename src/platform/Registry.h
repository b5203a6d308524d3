#pragma once
// The read-only settings store the program and the discovery consult. On
// Linux it is a text file in the registry editor's export format ("REGEDIT4"
// or "Windows Registry Editor Version 5.00"), named by the environment
// variable UPKEEP_REGISTRY (default /etc/upkeep/upkeep.reg). Only keys below
// HKEY_LOCAL_MACHINE are reachable. Key paths and value names compare
// ignoring letter case, as they do in the registry. A missing or unreadable
// file is an empty registry; malformed lines are skipped. Only a regular
// file of at most 1 MiB is read: a directory, a pipe or a device is refused
// before anything is read from it.

#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace upkeep::platform {

// Registry value type numbers.
namespace regtype {
inline constexpr std::uint32_t kString = 1;        // "text"
inline constexpr std::uint32_t kExpandString = 2;  // hex(2):
inline constexpr std::uint32_t kBinary = 3;        // hex:
inline constexpr std::uint32_t kDword = 4;         // dword:
inline constexpr std::uint32_t kMultiString = 7;   // hex(7):
}  // namespace regtype

struct RegistryValue {
    std::uint32_t type = regtype::kBinary;
    // The bytes a query delivers: a text with its terminating zero byte, a
    // 32-bit number in little-endian order, hex data as written.
    std::vector<std::uint8_t> data;
};

namespace detail {
struct RegistryKeyData {
    std::string name;                                  // as first written
    std::vector<std::string> subkeys;                  // names as first written, in file order
    std::map<std::string, RegistryKeyData*> children;  // by lower-case name
    std::vector<std::string> valueNames;               // as first written, in file order
    std::map<std::string, RegistryValue> values;       // by lower-case name
};
struct RegistryData {
    // Every key, the root first (none in an empty registry). Each key holds
    // only its own name and is owned here, not by its parent: memory grows
    // with the file rather than with the square of a key's depth, and
    // nothing recurses through a deeply nested file.
    std::vector<std::unique_ptr<RegistryKeyData>> keys;
};
}  // namespace detail

// An open key. It keeps what it reads alive, so it may outlive the Registry
// it came from.
class RegistryKey {
  public:
    const std::string& name() const { return key_->name; }
    std::vector<std::string> subkeyNames() const { return key_->subkeys; }
    std::vector<std::string> valueNames() const { return key_->valueNames; }
    // A key below this one, by a path relative to it.
    std::optional<RegistryKey> openSubkey(std::string_view path) const;

    // The value by name ("" is the key's default value), or none.
    std::optional<RegistryValue> value(std::string_view name) const;
    // A value read into a buffer of capacity bytes, whatever its type: none
    // when it is absent or larger than the buffer.
    std::optional<std::vector<std::uint8_t>> readBytes(std::string_view name,
                                                       std::size_t capacity) const;
    // A text value (string kinds), up to its first zero byte.
    std::optional<std::string> readText(std::string_view name) const;
    // A 32-bit number value (dword kind).
    std::optional<std::uint32_t> readDword(std::string_view name) const;

  private:
    friend class Registry;
    RegistryKey(std::shared_ptr<const detail::RegistryData> data,
                const detail::RegistryKeyData* key)
        : data_(std::move(data)), key_(key) {}

    std::shared_ptr<const detail::RegistryData> data_;
    const detail::RegistryKeyData* key_;
};

class Registry {
  public:
    static constexpr const char* kDefaultPath = "/etc/upkeep/upkeep.reg";
    static constexpr const char* kPathVariable = "UPKEEP_REGISTRY";
    static constexpr std::size_t kFileLimit = 1024 * 1024;

    Registry();  // empty

    // The file named by UPKEEP_REGISTRY, or the default path.
    static std::string filePath();
    // Reads the settings file as it is now (each query sees the current file).
    // A file that is there but refused is reported once on stderr.
    static Registry system();
    // An empty registry when the file cannot be read; `problem`, when given,
    // then says why (a missing file is no problem and leaves it empty).
    static Registry fromFile(const std::string& path, std::string* problem = nullptr);
    static Registry fromText(std::string_view text);

    // A key below HKEY_LOCAL_MACHINE, by its path with "\" between the
    // components (for example "SOFTWARE\Varnholt"); "" is the root itself.
    std::optional<RegistryKey> openKey(std::string_view path) const;

    std::size_t keyCount() const { return data_->keys.size(); }

  private:
    explicit Registry(std::shared_ptr<const detail::RegistryData> data) : data_(std::move(data)) {}
    std::shared_ptr<const detail::RegistryData> data_;
};

}  // namespace upkeep::platform
