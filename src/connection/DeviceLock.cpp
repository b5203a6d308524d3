#include "connection/DeviceLock.h"

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <set>

#include "connection/SocketIo.h"
#include "platform/Devices.h"

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
    return platform::deviceIdentity(path);
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
