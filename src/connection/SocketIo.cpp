#include "connection/SocketIo.h"

#include <linux/sockios.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <cerrno>
#include <optional>

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

bool finishStream(int fd, platform::Millis stall, platform::Millis settle,
                  const std::atomic<bool>* cancel) {
    if (fd < 0 || ::shutdown(fd, SHUT_WR) != 0)
        return false;
    constexpr int kSliceMs = 20;  // how often the acknowledgements are looked at
    platform::Deadline stalled(stall);
    std::optional<platform::Deadline> settling;
    int lastQueued = -1;
    bool peerClosed = false;
    for (;;) {
        if (cancel && cancel->load())
            return false;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return false;
        // Bytes (and the end mark) sent but not yet acknowledged by the peer.
        int queued = 0;
        if (::ioctl(fd, SIOCOUTQ, &queued) != 0)
            return false;
        if (lastQueued < 0 || queued < lastQueued)
            stalled = platform::Deadline(stall);
        lastQueued = queued;
        if (queued == 0) {
            if (peerClosed)
                return true;
            if (!settling)
                settling.emplace(settle);
            if (settling->expired())
                return true;
        } else if (stalled.expired()) {
            return false;
        }
        if (peerClosed) {
            ::poll(nullptr, 0, kSliceMs);
            continue;
        }
        pollfd entry{fd, POLLIN, 0};
        if (::poll(&entry, 1, kSliceMs) <= 0)
            continue;
        // Whatever the peer says meanwhile is not asked for; its end is.
        char discard[4096];
        ssize_t n = ::recv(fd, discard, sizeof discard, MSG_DONTWAIT);
        if (n == 0)
            peerClosed = true;
        else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
    }
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
