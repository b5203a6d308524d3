#include "platform/LockFiles.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/Identity.h"

namespace upkeep::platform {

bool usableDirectory(const std::string& path, bool shared) {
    const mode_t mode = shared ? 01777 : 0700;
    std::error_code error;
    if (!std::filesystem::is_directory(path, error)) {
        if (::mkdir(path.c_str(), mode) != 0 && errno != EEXIST)
            return false;
        ::chmod(path.c_str(), mode);  // mkdir's mode is cut by the umask
    }
    return ::access(path.c_str(), W_OK | X_OK) == 0;
}

std::string lockDirectory() {
    if (usableDirectory("/run/lock/upkeep", true))
        return "/run/lock/upkeep";
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    std::string base = runtime && *runtime ? runtime : "/tmp";
    std::string own = base + "/upkeep-locks-" + userIdText();
    usableDirectory(own, false);
    return own;
}

int openLockFile(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd >= 0)
        ::fchmod(fd, 0666);  // any user's download of the printer takes the same file
    return fd;
}

long processId() {
    return static_cast<long>(::getpid());
}

}  // namespace upkeep::platform
