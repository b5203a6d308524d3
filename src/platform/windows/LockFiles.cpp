#include "platform/LockFiles.h"

#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

namespace upkeep::platform {
namespace {

std::string environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

}  // namespace

// Windows keeps a directory's rights in its inherited ACL: the program
// data directory lets every user add files, a user's local application
// data directory is theirs.
bool usableDirectory(const std::string& path, bool) {
    std::error_code error;
    std::filesystem::create_directories(path, error);
    return std::filesystem::is_directory(path, error) && ::_access(path.c_str(), 2) == 0;
}

std::string lockDirectory() {
    if (std::string data = environment("ProgramData"); !data.empty()) {
        const std::string shared = data + "\\Upkeep\\locks";
        if (usableDirectory(shared, true))
            return shared;
    }
    std::string own = environment("LOCALAPPDATA");
    own = (own.empty() ? environment("TEMP") : own) + "\\Upkeep\\locks";
    usableDirectory(own, false);
    return own;
}

int openLockFile(const std::string& path) {
    // A reparse point (a link) in the lock file's place is not followed.
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
        errno = ELOOP;
        return -1;
    }
    return ::_open(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT,
                   _S_IREAD | _S_IWRITE);
}

long processId() {
    return static_cast<long>(::_getpid());
}

}  // namespace upkeep::platform
