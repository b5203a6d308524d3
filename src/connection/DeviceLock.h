#pragma once
// One user of a printer device at a time in this program. A printer on a
// USB or parallel port is one channel: two analyses, or an analysis and a
// download, talking to it at once take each other's replies. Whatever path
// names the device (a symbolic link, another node of the same device),
// users wait for each other; other devices and network printers do not.

#include <atomic>
#include <string>

namespace upkeep {

class DeviceLock {
  public:
    DeviceLock() = default;
    ~DeviceLock() { release(); }
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Waits until no other holder has the device at `path`, then holds it.
    // False when the cancel word was set first; a path that names nothing
    // is held by its own text (opening it will fail anyway).
    bool acquire(const std::string& path, const std::atomic<bool>* cancel);
    void release();

    // The key two paths share when they name the same device.
    static std::string keyOf(const std::string& path);

  private:
    std::string key_;
};

}  // namespace upkeep
