// The simulator's config reader over arbitrary text: it gives a config or a
// reason, never both, and never neither.

#include <string>

#include "Config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    std::optional<upkeep::sim::Config> config = upkeep::sim::parseConfig(text, error);
    if (config.has_value() == !error.empty())
        __builtin_trap();
    return 0;
}
