#pragma once
// The Sending display's status line: "Sending 1/2 (file)" for an upgrade
// of several items, "Sending  (file)... " otherwise.

#include <string>
#include <string_view>

namespace upkeep {

std::string sendingStatusLine(std::string_view sendingText, int step, int total,
                              std::string_view fileText);

}  // namespace upkeep
