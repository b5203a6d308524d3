#include "connection/SocketIo.h"

#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace upkeep::socketio {

bool waitFor(int fd, short events, platform::Millis nominal) {
    platform::Deadline deadline(nominal);
    for (;;) {
        pollfd entry{fd, events, 0};
        int waitMs = static_cast<int>(deadline.remaining().count());
        int ready = ::poll(&entry, 1, waitMs);
        if (ready > 0)
            return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
        if (ready == 0)
            return false;
        if (errno != EINTR || deadline.expired())
            return false;
    }
}

bool sendAll(int fd, const std::uint8_t* buffer, std::size_t length, platform::Millis perSend) {
    std::size_t sent = 0;
    bool mayBeFull = false;
    while (sent < length) {
        if (fd < 0)
            return false;
        // Wait for room only when the last send found none: a socket with
        // room takes the block at once, without a readiness call per block.
        if (mayBeFull && !waitFor(fd, POLLOUT, perSend))
            return false;
        ssize_t n = ::send(fd, buffer + sent, length - sent, MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0 && errno == EINTR)
            continue;
        mayBeFull = n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK);
        if (mayBeFull)
            continue;
        if (n <= 0)
            return false;
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

bool receiveOnce(int fd, std::uint8_t* buffer, std::size_t& length, platform::Millis limit) {
    if (fd < 0 || buffer == nullptr)
        return false;
    if (!waitFor(fd, POLLIN, limit))
        return false;
    ssize_t n;
    do {
        n = ::recv(fd, buffer, length, MSG_DONTWAIT);
    } while (n < 0 && errno == EINTR);
    if (n < 0)
        return false;
    length = static_cast<std::size_t>(n);
    return true;
}

}  // namespace upkeep::socketio
