#include "platform/Identity.h"

#include <openssl/rand.h>
#include <pwd.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/FileLock.h"

namespace upkeep::platform {

std::string userName() {
    if (const passwd* entry = ::getpwuid(::geteuid()); entry && entry->pw_name)
        return entry->pw_name;
    const char* name = std::getenv("USER");
    return name ? name : std::to_string(::geteuid());
}

std::string userIdText() {
    return std::to_string(::getuid());
}

std::string hostName() {
    std::string name(256, '\0');
    if (::gethostname(name.data(), name.size() - 1) != 0)
        return {};
    name.resize(std::strlen(name.c_str()));
    return name;
}

bool randomBytes(std::uint8_t* bytes, std::size_t length) {
    return RAND_bytes(bytes, static_cast<int>(length)) == 1;
}

FileLock lockFile(int fd, bool wait) {
    while (::flock(fd, LOCK_EX | (wait ? 0 : LOCK_NB)) != 0) {
        if (errno == EINTR)
            continue;
        return errno == EWOULDBLOCK ? FileLock::Busy : FileLock::Failed;
    }
    return FileLock::Taken;
}

}  // namespace upkeep::platform
