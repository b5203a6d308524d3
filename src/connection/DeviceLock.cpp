#include "connection/DeviceLock.h"

#include <sys/stat.h>
#include <sys/sysmacros.h>

#include <chrono>
#include <climits>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <set>

#include "connection/SocketIo.h"

namespace upkeep {
namespace {

struct Held {
    std::mutex mutex;
    std::condition_variable released;
    std::set<std::string> keys;
};

Held& held() {
    static Held instance;
    return instance;
}

}  // namespace

std::string DeviceLock::keyOf(const std::string& path) {
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

bool DeviceLock::acquire(const std::string& path, const std::atomic<bool>* cancel) {
    release();
    std::string key = keyOf(path);
    Held& h = held();
    std::unique_lock lock(h.mutex);
    while (h.keys.count(key) != 0) {
        if (cancel && cancel->load())
            return false;
        h.released.wait_for(lock, std::chrono::milliseconds(socketio::kCancelSliceMs));
    }
    h.keys.insert(key);
    key_ = std::move(key);
    return true;
}

void DeviceLock::release() {
    if (key_.empty())
        return;
    Held& h = held();
    {
        std::lock_guard lock(h.mutex);
        h.keys.erase(key_);
    }
    key_.clear();
    h.released.notify_all();
}

}  // namespace upkeep
