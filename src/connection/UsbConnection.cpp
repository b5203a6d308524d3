#include "connection/UsbConnection.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>

namespace upkeep {
namespace {

// Sleeps out what is left of a deadline through the time facility, whose
// durations are nominal: the real remainder is turned back into nominal
// time (rounded up, so the deadline is never cut short).
void sleepOut(const platform::Deadline& deadline) {
    platform::Millis left = deadline.remaining();
    if (left.count() > 0) {
        double nominal = std::ceil(static_cast<double>(left.count()) / platform::Clock::scale());
        platform::Clock::sleepFor(platform::Millis{static_cast<long long>(nominal)});
    }
    // remaining() counts whole milliseconds; finish the sliver it leaves.
    while (!deadline.expired())
        platform::Clock::sleepFor(platform::Millis{1});
}

int pollFor(int fd, short events, int timeoutMs) {
    pollfd entry{fd, events, 0};
    int ready;
    do {
        ready = ::poll(&entry, 1, timeoutMs);
    } while (ready < 0 && errno == EINTR);
    if (ready <= 0)
        return ready;
    return entry.revents;
}

}  // namespace

UsbConnection::UsbConnection(const PortDescriptor& descriptor)
    : descriptor_(descriptor), path_(descriptor.name().str()) {
    if (path_.size() > kMaxPath)
        path_.clear();
}

bool UsbConnection::open() {
    if (path_.empty() || device_.valid())
        return false;
    // Non-blocking, so that a read can be bounded by poll(); writes wait for
    // the device with poll() instead, without a limit but for a cancel.
    device_.reset(::open(path_.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    return device_.valid();
}

bool UsbConnection::write(const std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr || !device_.valid())
        return false;
    std::size_t done = 0;
    while (done < length) {
        ssize_t wrote = ::write(device_.get(), buffer + done, length - done);
        if (wrote < 0) {
            if (errno == EINTR)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                // No limit on how long the device may take; a cancel ends it.
                int revents = pollFor(device_.get(), POLLOUT, kCancelSliceMs);
                if (revents < 0 || (revents & (POLLERR | POLLHUP | POLLNVAL)) != 0)
                    return false;
                if (revents == 0 && canceled())
                    return false;
                continue;
            }
            return false;
        }
        if (wrote == 0)
            return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

bool UsbConnection::read(std::uint8_t* buffer, std::size_t& length) {
    std::size_t capacity = length;
    length = 0;
    if (!device_.valid() || buffer == nullptr)
        return false;

    platform::Deadline window(kReadWindow);
    bool finished = false;
    while (!finished) {
        int timeout = static_cast<int>(window.remaining().count());
        int revents = pollFor(device_.get(), POLLIN, timeout);
        if (revents < 0)
            break;  // poll itself failed: the read did not finish
        if (revents == 0)
            break;  // nothing within the second
        ssize_t got = ::read(device_.get(), buffer, capacity);
        if (got >= 0) {
            length = static_cast<std::size_t>(got);
            finished = true;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK && errno != EINTR) {
            break;  // the read ended in an error
        } else if (window.expired()) {
            break;
        }
    }
    sleepOut(window);
    return finished;
}

}  // namespace upkeep
