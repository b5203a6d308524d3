// The descriptor limit of a Linux process (RLIMIT_NOFILE, /proc).
#include "platform/Descriptors.h"

#include <dirent.h>
#include <sys/resource.h>

namespace upkeep::platform {

void raiseDescriptorLimit() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur >= limit.rlim_max)
        return;
    limit.rlim_cur = limit.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &limit);
}

std::size_t freeDescriptors() {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return static_cast<std::size_t>(-1);
    // The open ones, counted in /proc (the directory's own descriptor too).
    std::size_t open = 0;
    if (DIR* dir = ::opendir("/proc/self/fd")) {
        while (const dirent* entry = ::readdir(dir))
            open += entry->d_name[0] != '.' ? 1 : 0;
        ::closedir(dir);
    }
    return open >= limit.rlim_cur ? 0 : static_cast<std::size_t>(limit.rlim_cur) - open;
}

}  // namespace upkeep::platform
