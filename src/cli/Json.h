#pragma once
// The little JSON the command-line tool writes.

#include <string>
#include <string_view>

namespace upkeep::cli {

// A JSON string literal, quotes included.
std::string jsonString(std::string_view text);

}  // namespace upkeep::cli
