#include "platform/WorkingDirectory.h"

#include <unistd.h>

#include <cerrno>
#include <mutex>
#include <vector>

namespace upkeep::platform {
namespace {

std::mutex& settingLock() {
    static std::mutex lock;
    return lock;
}

std::string& standIn() {
    static std::string dir;
    return dir;
}

std::string currentDirectory() {
    std::vector<char> buffer(256);
    while (buffer.size() <= (1u << 20)) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr)
            return std::string(buffer.data());
        if (errno != ERANGE)
            return {};
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

// The stand-in as set, or empty for the real current directory.
std::string standInCopy() {
    std::lock_guard guard(settingLock());
    return standIn();
}

}  // namespace

std::string workingDirectory() {
    std::string dir = standInCopy();
    return dir.empty() ? currentDirectory() : dir;
}

void setWorkingDirectory(std::string_view dir) {
    // "pkg/" and "pkg" name the same place; keep "/" itself whole.
    while (dir.size() > 1 && dir.back() == kPathSeparator)
        dir.remove_suffix(1);
    std::lock_guard guard(settingLock());
    standIn().assign(dir);
}

std::string inWorkingDirectory(std::string_view name) {
    std::string path = workingDirectory();
    if (path.empty())
        return {};  // an unknown directory names no file at all, not one at the root
    if (path.back() != kPathSeparator)
        path += kPathSeparator;
    path += name;
    return path;
}

ScopedWorkingDirectory::ScopedWorkingDirectory(std::string_view dir) : previous_(standInCopy()) {
    setWorkingDirectory(dir);
}

ScopedWorkingDirectory::~ScopedWorkingDirectory() {
    setWorkingDirectory(previous_);
}

}  // namespace upkeep::platform
