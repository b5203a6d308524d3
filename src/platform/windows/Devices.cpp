#include "platform/Devices.h"

#include <cctype>
#include <cstdlib>

namespace upkeep::platform {

// Names compare ignoring letter case on Windows; "LPT1" and "\\.\LPT1"
// come out the same once made absolute.
std::string deviceIdentity(const std::string& path) {
    char full[_MAX_PATH];
    std::string key = ::_fullpath(full, path.c_str(), sizeof full) ? full : path;
    for (char& c : key)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return key;
}

}  // namespace upkeep::platform
