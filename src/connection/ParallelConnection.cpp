#include "connection/ParallelConnection.h"

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "connection/SocketIo.h"
#include "package/Environment.h"
#include "platform/ServiceControl.h"

namespace upkeep {

std::string ParallelConnection::devicePath() {
    const char* path = std::getenv("UPKEEP_PARALLEL_DEVICE");
    return path && *path ? path : "/dev/lp0";
}

ParallelConnection::~ParallelConnection() {
    device_.reset();
    // Whatever happened, the workstation gets its spooler back.
    platform::serviceControl().startSpooler();
}

bool ParallelConnection::open() {
    Environment* environment = Environment::instance();
    OsKind kind = environment ? environment->osKind() : OsKind::Unknown;
    platform::ServiceControl& services = platform::serviceControl();
    if (kind == OsKind::WinNt5) {
        if (!services.defineParallelDevice())
            return false;
    } else if (kind == OsKind::WinNt) {
        if (!services.stopSpooler())
            return false;
        platform::Clock::sleepFor(kAfterSpoolerStop);
    }
    int fd;
    do {
        fd = ::open(devicePath().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        return false;
    device_.reset(fd);
    return true;
}

bool ParallelConnection::write(const std::uint8_t* buffer, std::size_t length) {
    if (!device_.valid() || buffer == nullptr)
        return false;
    // All bytes within the limit: a short write is not reported as sent.
    platform::Deadline deadline(kWriteLimit);
    std::size_t written = 0;
    while (written < length) {
        ssize_t n = ::write(device_.get(), buffer + written, length - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK) || deadline.expired())
            return false;
        pollfd entry{device_.get(), POLLOUT, 0};
        if (::poll(&entry, 1, static_cast<int>(deadline.remaining().count())) <= 0 &&
            deadline.expired())
            return false;
    }
    return true;
}

bool ParallelConnection::read(std::uint8_t* buffer, std::size_t& length) {
    const std::size_t capacity = length;
    length = 0;
    if (!device_.valid() || buffer == nullptr)
        return false;
    if (!socketio::waitFor(device_.get(), POLLIN, kReadLimit))
        return false;
    ssize_t n;
    do {
        n = ::read(device_.get(), buffer, capacity);
    } while (n < 0 && errno == EINTR);
    if (n <= 0)
        return false;
    length = static_cast<std::size_t>(n);
    return true;
}

}  // namespace upkeep
