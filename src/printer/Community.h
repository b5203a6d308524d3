#pragma once
// The SNMP community the whole program uses, changeable while it runs.

#include <string>
#include <string_view>

namespace upkeep {

inline constexpr std::size_t kCommunityLimit = 63;
inline constexpr const char* kDefaultCommunity = "quenby";

std::string community();
// Replaces the community; a longer text is cut to 63 characters.
void setCommunity(std::string_view text);

}  // namespace upkeep
