#pragma once
// Small text helpers of the simulator: trimming, C escapes, hex, versions.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace upkeep::sim {

std::string trim(std::string_view text);
std::string lower(std::string_view text);
bool equalsIgnoreCase(std::string_view a, std::string_view b);
bool startsWith(std::string_view text, std::string_view prefix);

// Decodes \n \r \t \0 \e \f \\ \" \' and \xHH; an unknown escape keeps the
// character after the backslash.
std::string decodeEscapes(std::string_view text);

// "0000", "1b 2a" -> bytes; nullopt on an odd count or a non-hex digit.
std::optional<std::string> decodeHex(std::string_view text);

std::optional<std::uint64_t> parseUnsigned(std::string_view text);

// Dotted numeric versions compare numerically part by part ("1.10" > "1.9");
// anything else compares as text, ignoring letter case. <0, 0, >0.
int compareVersions(std::string_view a, std::string_view b);

}  // namespace upkeep::sim
