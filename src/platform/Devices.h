#pragma once
// Which device a path names.

#include <string>

namespace upkeep::platform {

// The same text for every path that names the same device (a symbolic
// link, another node of it); for anything else the path made absolute, or
// the path itself when that fails.
std::string deviceIdentity(const std::string& path);

}  // namespace upkeep::platform
