#include "connection/SocketIo.h"

#include <linux/sockios.h>
// Linux's own tcp_info: glibc's copy of it may end before tcpi_snd_wnd.
#include <linux/tcp.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstddef>
#include <optional>

namespace upkeep::socketio {
namespace {

bool isCanceled(const std::atomic<bool>* cancel) {
    return cancel && cancel->load();
}

// One poll of at most `limitMs`, and no longer than a cancel slice when
// there is a cancel word to look at. Returns poll's result.
int pollSlice(pollfd& entry, int limitMs, const std::atomic<bool>* cancel) {
    if (cancel)
        limitMs = std::min(limitMs, kCancelSliceMs);
    return ::poll(&entry, 1, std::max(limitMs, 0));
}

// The window the peer advertised last, 0 when the kernel does not say.
std::uint32_t advertisedWindow(int fd) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (fd < 0 || ::getsockopt(fd, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_snd_wnd) + sizeof info.tcpi_snd_wnd)
        return 0;
    return info.tcpi_snd_wnd;
}

// A peer that has ended its side with bytes of ours unread in its buffers.
bool endedUnread(int fd, PeerWindow* window) {
    return window && peerEnded(fd) && window->shrunk(fd);
}

}  // namespace

void PeerWindow::note(int fd) {
    largest_ = std::max(largest_, advertisedWindow(fd));
}

bool PeerWindow::shrunk(int fd) {
    const std::uint32_t now = advertisedWindow(fd);
    largest_ = std::max(largest_, now);
    // Its kernel re-tunes the buffer's accounting as data comes in: a peer
    // that read everything may come back a little short of its largest
    // window (within 2% seen on loopback), while an unread remainder keeps
    // its whole size, with overheads, out of it.
    return now < largest_ - largest_ / 16;
}

namespace {

// Waits for `events` in slices short enough to see the cancel word,
// telling `meanwhile` after every slice that found nothing (a writer
// waiting for room: the peer may be acknowledging bytes all along).
template <typename Meanwhile>
bool waitForRoom(int fd, short events, platform::Millis nominal, const std::atomic<bool>* cancel,
                 Meanwhile meanwhile) {
    platform::Deadline deadline(nominal);
    for (;;) {
        if (isCanceled(cancel))
            return false;
        pollfd entry{fd, events, 0};
        int ready = pollSlice(
            entry, std::min(static_cast<int>(deadline.remaining().count()), kCancelSliceMs),
            cancel);
        if (ready > 0)
            return (entry.revents & (events | POLLHUP | POLLERR)) != 0;
        if (ready < 0 && errno != EINTR)
            return false;
        if (deadline.expired())
            return false;
        meanwhile();
    }
}

}  // namespace

bool waitFor(int fd, short events, platform::Millis nominal, const std::atomic<bool>* cancel) {
    return waitForRoom(fd, events, nominal, cancel, [] {});
}

bool sendAll(int fd, const std::uint8_t* buffer, std::size_t length, platform::Millis perSend,
             const std::atomic<bool>* cancel, bool failOnPeerEnd, PeerWindow* window,
             const std::function<void(std::uint64_t)>* report) {
    const short waitEvents = static_cast<short>(POLLOUT | (failOnPeerEnd ? POLLRDHUP : 0));
    std::size_t sent = 0;
    bool mayBeFull = false;
    while (sent < length) {
        if (fd < 0 || isCanceled(cancel))
            return false;
        if (window)
            window->note(fd);
        // Wait for room only when the last send found none: a socket with
        // room takes the block at once, without a readiness call per block.
        if (mayBeFull) {
            if (!waitForRoom(fd, waitEvents, perSend, cancel, [&] {
                    if (report)
                        (*report)(unacknowledged(fd) + (length - sent));
                }))
                return false;
            if (failOnPeerEnd && peerEnded(fd))
                return false;
        }
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

bool peerEnded(int fd) {
    pollfd entry{fd, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLRDHUP) != 0;
}

std::uint64_t unacknowledged(int fd) {
    int queued = 0;
    if (fd < 0 || ::ioctl(fd, SIOCOUTQ, &queued) != 0 || queued < 0)
        return 0;
    return static_cast<std::uint64_t>(queued);
}

bool finishStream(int fd, const FinishWait& wait) {
    // A peer that ended its side before our last byte stopped taking data:
    // whatever its kernel acknowledged since, its program never read it.
    if (fd < 0 || peerEnded(fd))
        return false;
    if (wait.endStream && ::shutdown(fd, SHUT_WR) != 0)
        return false;
    // After our own end, the end mark counts as one unacknowledged byte.
    const int ownEnd = wait.endStream ? 1 : 0;
    platform::Deadline stalled(wait.stall);
    std::optional<platform::Deadline> settling;
    int lastQueued = -1;
    bool peerClosed = false;
    for (;;) {
        if (isCanceled(wait.cancel))
            return false;
        int error = 0;
        socklen_t size = sizeof error;
        if (::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) != 0 || error != 0)
            return false;
        if (wait.window)
            wait.window->note(fd);
        int queued = 0;
        if (::ioctl(fd, SIOCOUTQ, &queued) != 0)
            return false;
        if (wait.report && queued != lastQueued)
            (*wait.report)(static_cast<std::uint64_t>(std::max(queued - ownEnd, 0)));
        if (lastQueued < 0 || queued < lastQueued)
            stalled = platform::Deadline(wait.stall);
        lastQueued = queued;
        if (queued == 0) {
            // Acknowledged is not read: a peer that ended its side and
            // left bytes in its buffers stopped reading before them.
            if (peerClosed || !wait.endStream)
                return !endedUnread(fd, wait.window);
            if (!settling)
                settling.emplace(wait.settle);
            if (settling->expired())
                return true;
        } else if (stalled.expired()) {
            return false;
        }
        if (peerClosed) {
            // Its end acknowledged all it had received: data of ours still
            // unacknowledged was never taken.
            if (queued > ownEnd)
                return false;
            ::poll(nullptr, 0, kCancelSliceMs / 2);
            continue;
        }
        pollfd entry{fd, static_cast<short>(wait.endStream ? POLLIN : POLLRDHUP), 0};
        if (::poll(&entry, 1, kCancelSliceMs / 2) <= 0)
            continue;
        if (!wait.endStream) {
            // The answer is left for the caller; only the peer's end counts.
            peerClosed = (entry.revents & POLLRDHUP) != 0;
            continue;
        }
        // Whatever the peer says meanwhile is not asked for; its end is.
        char discard[4096];
        ssize_t n = ::recv(fd, discard, sizeof discard, MSG_DONTWAIT);
        if (n == 0)
            peerClosed = true;
        else if (n < 0 && errno != EINTR && errno != EAGAIN && errno != EWOULDBLOCK)
            return false;
    }
}

bool receiveOnce(int fd, std::uint8_t* buffer, std::size_t& length, platform::Millis limit,
                 const std::atomic<bool>* cancel) {
    if (fd < 0 || buffer == nullptr)
        return false;
    if (!waitFor(fd, POLLIN, limit, cancel))
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
