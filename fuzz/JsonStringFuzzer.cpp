// The JSON string escaping, round trip: the output parses as JSON, and gives
// back the input with every broken UTF-8 piece as one U+FFFD, as an
// independent serializer replaces them. The terminal form of the same text
// keeps no control character.

#include <nlohmann/json.hpp>
#include <string>

#include "cli/Json.h"
#include "cli/TerminalText.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string input(reinterpret_cast<const char*>(data), size);
    std::string out = upkeep::cli::jsonString(input);
    nlohmann::json parsed = nlohmann::json::parse(out, nullptr, false);
    if (parsed.is_discarded() || !parsed.is_string())
        __builtin_trap();
    std::string expected =
        nlohmann::json::parse(
            nlohmann::json(input).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace))
            .get<std::string>();
    if (parsed.get<std::string>() != expected)
        __builtin_trap();

    for (unsigned char c : upkeep::cli::terminalText(input)) {
        if (c < 0x20 || c == 0x7F)
            __builtin_trap();
    }
    return 0;
}
