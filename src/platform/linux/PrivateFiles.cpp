// A memfd with seals; the path from /proc/self/fd.
#include "platform/PrivateFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <climits>

namespace upkeep::platform {

UniqueFd createPrivateFile(const char* name) {
    return UniqueFd(::memfd_create(name, MFD_CLOEXEC | MFD_ALLOW_SEALING));
}

bool sealPrivateFile(int fd) {
    return ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) == 0;
}

std::optional<std::string> pathOfOpenFile(int fd) {
    char target[PATH_MAX + 1];
    const std::string link = "/proc/self/fd/" + std::to_string(fd);
    const ssize_t n = ::readlink(link.c_str(), target, PATH_MAX);
    if (n <= 0)
        return std::nullopt;
    return std::string(target, static_cast<std::size_t>(n));
}

}  // namespace upkeep::platform
