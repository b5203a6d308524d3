#include "connection/DeviceIo.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "connection/SocketIo.h"

namespace upkeep::deviceio {
namespace {

// Real milliseconds between two tries when poll() said "ready" but the
// device still had nothing for us.
constexpr int kRetryMs = 10;

std::atomic<PollFunction> pollFunction{nullptr};

int pollDevice(pollfd* entries, nfds_t count, int timeoutMs) {
    PollFunction function = pollFunction.load();
    return function ? function(entries, count, timeoutMs) : ::poll(entries, count, timeoutMs);
}

bool isCanceled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

// Waits for `events` at most until the deadline and one cancel slice.
// Returns false on a failure of poll or of the device; `ready` tells
// whether poll said the device was ready.
bool waitSlice(int fd, short events, const platform::Deadline& deadline, bool& ready) {
    int waitMs = std::min(static_cast<int>(deadline.remaining().count()), socketio::kCancelSliceMs);
    pollfd entry{fd, events, 0};
    int result = pollDevice(&entry, 1, std::max(waitMs, 0));
    if (result < 0)
        return errno == EINTR;
    ready = result > 0;
    return !ready || (entry.revents & (POLLERR | POLLHUP | POLLNVAL)) == 0;
}

void pauseAfterFalseReady(const platform::Deadline& deadline) {
    auto left = std::min<long long>(deadline.remaining().count(), kRetryMs);
    if (left > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(left));
}

}  // namespace

void setPollFunction(PollFunction function) {
    pollFunction.store(function);
}

platform::UniqueFd openCharDevice(const std::string& path) {
    int fd;
    do {
        fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    platform::UniqueFd device(fd);
    struct stat info {};
    if (!device.valid() || ::fstat(device.get(), &info) != 0 || !S_ISCHR(info.st_mode))
        return platform::UniqueFd();
    return device;
}

bool writeAll(int fd, const std::uint8_t* buffer, std::size_t length, platform::Millis stallLimit,
              const std::atomic<bool>* cancel) {
    platform::Deadline stalled(stallLimit);
    bool saidReady = false;
    std::size_t done = 0;
    while (done < length) {
        if (isCanceled(cancel))
            return false;
        ssize_t n = ::write(fd, buffer + done, length - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            stalled = platform::Deadline(stallLimit);
            saidReady = false;
            continue;
        }
        if (n == 0)
            return false;  // would never end
        if (errno == EINTR)
            continue;
        if ((errno != EAGAIN && errno != EWOULDBLOCK) || stalled.expired())
            return false;
        if (saidReady) {
            pauseAfterFalseReady(stalled);
            saidReady = false;
        } else if (!waitSlice(fd, POLLOUT, stalled, saidReady)) {
            return false;
        }
    }
    return true;
}

bool readSome(int fd, std::uint8_t* buffer, std::size_t& length, platform::Millis limit,
              const std::atomic<bool>* cancel) {
    const std::size_t capacity = length;
    length = 0;
    platform::Deadline deadline(limit);
    bool saidReady = false;
    for (;;) {
        if (isCanceled(cancel))
            return false;
        ssize_t n = ::read(fd, buffer, capacity);
        if (n > 0) {
            length = static_cast<std::size_t>(n);
            return true;
        }
        if (n < 0 && errno == EINTR)
            continue;
        // Nothing yet (EAGAIN, or an end that a device without data reports).
        if ((n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) || deadline.expired())
            return false;
        if (saidReady) {
            pauseAfterFalseReady(deadline);
            saidReady = false;
        } else if (!waitSlice(fd, POLLIN, deadline, saidReady)) {
            return false;
        }
    }
}

}  // namespace upkeep::deviceio
