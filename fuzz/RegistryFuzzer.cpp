// The settings file reader over arbitrary text, and a walk over every key it
// made.

#include <string>
#include <string_view>

#include "platform/Registry.h"

namespace {

void walk(const upkeep::platform::Registry& registry, const std::string& path, int depth) {
    std::optional<upkeep::platform::RegistryKey> key = registry.openKey(path);
    if (!key)
        __builtin_trap();  // every listed subkey must open
    for (const std::string& name : key->valueNames()) {
        key->readText(name);
        key->readDword(name);
        key->readBytes(name, 4);
        if (!key->value(name))
            __builtin_trap();
    }
    if (depth > 64)
        return;
    for (const std::string& subkey : key->subkeyNames())
        walk(registry, path.empty() ? subkey : path + "\\" + subkey, depth + 1);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    upkeep::platform::Registry registry = upkeep::platform::Registry::fromText(text);
    if (registry.keyCount() > 0)
        walk(registry, "", 0);
    return 0;
}
