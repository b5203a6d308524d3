// BSD sockets on Linux.
#include "platform/Socket.h"

// Linux's own tcp_info: glibc's copy of it may end before tcpi_snd_wnd.
#include <fcntl.h>
#include <linux/sockios.h>
#include <linux/tcp.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

#include "platform/Descriptors.h"

namespace upkeep::platform {
namespace {

SocketError classify(int error) {
    switch (error) {
        case 0:
            return SocketError::None;
        case EAGAIN:
#if EWOULDBLOCK != EAGAIN
        case EWOULDBLOCK:
#endif
            return SocketError::WouldBlock;
        case EINPROGRESS:
            return SocketError::InProgress;
        case EINTR:
            return SocketError::Interrupted;
        case ECONNRESET:
        case EPIPE:
            return SocketError::Reset;
        default:
            return SocketError::Other;
    }
}

short toPoll(int events) {
    short bits = 0;
    if (events & kReadable)
        bits |= POLLIN;
    if (events & kWritable)
        bits |= POLLOUT;
    if (events & kPeerEnd)
        bits |= POLLRDHUP;
    return bits;
}

int fromPoll(short revents) {
    int bits = 0;
    if (revents & POLLIN)
        bits |= kReadable;
    if (revents & POLLOUT)
        bits |= kWritable;
    if (revents & POLLRDHUP)
        bits |= kPeerEnd;
    if (revents & (POLLHUP | POLLERR | POLLNVAL))
        bits |= kFailed;
    return bits;
}

}  // namespace

bool startSockets() {
    return true;
}

SocketHandle openSocket(int family, bool stream) {
    const int fd = stream ? ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP)
                          : ::socket(family, SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP);
    if (fd < 0)
        noteOpenFailure(errno);
    return fd;
}

void closeSocket(SocketHandle socket) {
    ::close(socket);
}

SocketError lastSocketError() {
    return classify(errno);
}

void clearSocketError() {
    errno = 0;
}

SocketError pendingError(SocketHandle socket) {
    int error = 0;
    socklen_t size = sizeof error;
    if (socket < 0 || ::getsockopt(socket, SOL_SOCKET, SO_ERROR, &error, &size) != 0)
        return SocketError::Other;
    return classify(error);
}

bool setNonBlocking(SocketHandle socket) {
    const int flags = ::fcntl(socket, F_GETFL);
    return flags >= 0 && ::fcntl(socket, F_SETFL, flags | O_NONBLOCK) == 0;
}

void setResetOnClose(SocketHandle socket, bool reset) {
    linger option{};
    option.l_onoff = reset ? 1 : 0;
    option.l_linger = 0;
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

void setLinger(SocketHandle socket, int seconds) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = static_cast<decltype(option.l_linger)>(seconds);
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

bool startConnect(SocketHandle socket, const sockaddr* address, socklen_t length) {
    int result;
    do {
        result = ::connect(socket, address, length);
    } while (result != 0 && errno == EINTR);
    return result == 0 || errno == EINPROGRESS;
}

int waitReady(SocketHandle socket, int events, int timeoutMs) {
    pollfd entry{socket, toPoll(events), 0};
    const int ready = ::poll(&entry, 1, timeoutMs < 0 ? 0 : timeoutMs);
    if (ready < 0)
        return errno == EINTR ? 0 : -1;
    return ready == 0 ? 0 : fromPoll(entry.revents);
}

void pauseMs(int ms) {
    ::poll(nullptr, 0, ms);
}

long sendSome(SocketHandle socket, const void* data, std::size_t length) {
    return ::send(socket, data, length, MSG_NOSIGNAL | MSG_DONTWAIT);
}

long receiveSome(SocketHandle socket, void* data, std::size_t length) {
    return ::recv(socket, data, length, MSG_DONTWAIT);
}

bool shutdownSend(SocketHandle socket) {
    return ::shutdown(socket, SHUT_WR) == 0;
}

bool peerEnded(SocketHandle socket) {
    pollfd entry{socket, POLLRDHUP, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLRDHUP) != 0;
}

std::optional<std::uint64_t> unacknowledgedBytes(SocketHandle socket) {
    int queued = 0;
    if (socket < 0 || ::ioctl(socket, SIOCOUTQ, &queued) != 0 || queued < 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(queued);
}

std::uint32_t advertisedWindow(SocketHandle socket) {
    tcp_info info{};
    socklen_t size = sizeof info;
    if (socket < 0 || ::getsockopt(socket, IPPROTO_TCP, TCP_INFO, &info, &size) != 0 ||
        size < offsetof(tcp_info, tcpi_snd_wnd) + sizeof info.tcpi_snd_wnd)
        return 0;
    return info.tcpi_snd_wnd;
}

}  // namespace upkeep::platform
