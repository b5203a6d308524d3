// On Linux the registry is a text file in the registry editor's format.
#include <cstdio>
#include <mutex>
#include <set>
#include <string>

#include "platform/Registry.h"

namespace upkeep::platform {
namespace {

// Each refused file is reported once per process, not at every query.
void reportOnce(const std::string& path, const std::string& problem) {
    static std::mutex mutex;
    static std::set<std::string> reported;
    std::lock_guard lock(mutex);
    if (reported.insert(path + '\n' + problem).second)
        std::fprintf(stderr, "upkeep: settings file %s ignored: %s\n", path.c_str(),
                     problem.c_str());
}

}  // namespace

Registry Registry::system() {
    const std::string path = filePath();
    std::string problem;
    Registry registry = fromFile(path, &problem);
    if (!problem.empty())
        reportOnce(path, problem);
    return registry;
}

}  // namespace upkeep::platform
