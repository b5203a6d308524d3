#include "platform/Devices.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace upkeep::platform {

// A character device by its major and minor numbers.
std::string deviceIdentity(const std::string& path) {
    struct stat info {};
    if (::stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode)) {
        // Formatted into a buffer: GCC 12 at -O3 warns falsely about a
        // chain of string concatenations here.
        char key[32];
        std::snprintf(key, sizeof key, "c%u:%u", major(info.st_rdev), minor(info.st_rdev));
        return key;
    }
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : path;
}

}  // namespace upkeep::platform
