// Winsock 2 on Windows. Readiness is asked with select(), which reports a
// failed connect (in the exception set) on every version, where WSAPoll
// does not. Winsock says nothing of a peer's end without reading, so the
// end is seen by peeking: a readable stream whose peek gives 0 bytes.
#include "platform/Socket.h"

#include <windows.h>

#include <cerrno>

#include "platform/Descriptors.h"

namespace upkeep::platform {
namespace {

SocketError classify(int error) {
    switch (error) {
        case 0:
            return SocketError::None;
        case WSAEWOULDBLOCK:
            return SocketError::WouldBlock;
        case WSAEINPROGRESS:
        case WSAEALREADY:
            return SocketError::InProgress;
        case WSAEINTR:
            return SocketError::Interrupted;
        case WSAECONNRESET:
        case WSAECONNABORTED:
        case WSAESHUTDOWN:
        case WSAENETRESET:
            return SocketError::Reset;
        default:
            return SocketError::Other;
    }
}

int clampLength(std::size_t length) {
    return length > 0x7fffffff ? 0x7fffffff : static_cast<int>(length);
}

// Readiness by select() within timeoutMs; the same bits as waitReady, the
// peer's end not told apart from data.
int selectReady(SocketHandle socket, bool read, bool write, int timeoutMs) {
    fd_set readSet, writeSet, exceptSet;
    FD_ZERO(&readSet);
    FD_ZERO(&writeSet);
    FD_ZERO(&exceptSet);
    if (read)
        FD_SET(socket, &readSet);
    if (write)
        FD_SET(socket, &writeSet);
    FD_SET(socket, &exceptSet);
    timeval limit{};
    if (timeoutMs > 0) {
        limit.tv_sec = timeoutMs / 1000;
        limit.tv_usec = (timeoutMs % 1000) * 1000;
    }
    const int ready = ::select(0, &readSet, &writeSet, &exceptSet, &limit);
    if (ready == SOCKET_ERROR)
        return WSAGetLastError() == WSAEINTR ? 0 : -1;
    int bits = 0;
    if (FD_ISSET(socket, &readSet))
        bits |= kReadable;
    if (FD_ISSET(socket, &writeSet))
        bits |= kWritable;
    if (FD_ISSET(socket, &exceptSet))
        bits |= kFailed;
    return bits;
}

// A readable stream: whether what is there is the peer's end (or a reset).
bool endedNow(SocketHandle socket) {
    char probe;
    const int n = ::recv(socket, &probe, 1, MSG_PEEK);
    return n == 0 || (n < 0 && classify(WSAGetLastError()) == SocketError::Reset);
}

}  // namespace

bool startSockets() {
    static const bool ready = [] {
        WSADATA data{};
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return ready;
}

SocketHandle openSocket(int family, bool stream) {
    if (!startSockets())
        return kNoSocket;
    const SocketHandle socket = stream ? ::socket(family, SOCK_STREAM, IPPROTO_TCP)
                                       : ::socket(family, SOCK_DGRAM, IPPROTO_UDP);
    if (socket == kNoSocket) {
        const int error = WSAGetLastError();
        noteOpenFailure(error == WSAEMFILE ? EMFILE : error == WSAENOBUFS ? ENOBUFS : 0);
        return kNoSocket;
    }
    // Not inherited by child processes, as on Linux.
    ::SetHandleInformation(reinterpret_cast<HANDLE>(socket), HANDLE_FLAG_INHERIT, 0);
    return socket;
}

void closeSocket(SocketHandle socket) {
    ::closesocket(socket);
}

SocketError lastSocketError() {
    return classify(WSAGetLastError());
}

void clearSocketError() {
    WSASetLastError(0);
}

SocketError pendingError(SocketHandle socket) {
    int error = 0;
    int size = sizeof error;
    if (socket == kNoSocket ||
        ::getsockopt(socket, SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0)
        return SocketError::Other;
    return classify(error);
}

bool setNonBlocking(SocketHandle socket) {
    u_long on = 1;
    return ::ioctlsocket(socket, FIONBIO, &on) == 0;
}

void setResetOnClose(SocketHandle socket, bool reset) {
    linger option{};
    option.l_onoff = reset ? 1 : 0;
    option.l_linger = 0;
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
                 sizeof option);
}

void setLinger(SocketHandle socket, int seconds) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = static_cast<decltype(option.l_linger)>(seconds);
    ::setsockopt(socket, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
                 sizeof option);
}

bool startConnect(SocketHandle socket, const sockaddr* address, socklen_t length) {
    if (::connect(socket, address, length) == 0)
        return true;
    // A non-blocking connect under way says "would block" here.
    const int error = WSAGetLastError();
    if (error != WSAEWOULDBLOCK && error != WSAEINPROGRESS)
        return false;
    WSASetLastError(WSAEINPROGRESS);
    return true;
}

int waitReady(SocketHandle socket, int events, int timeoutMs) {
    const bool write = (events & kWritable) != 0;
    const DWORD start = ::GetTickCount();
    const int bits = selectReady(socket, (events & (kReadable | kPeerEnd)) != 0, write, timeoutMs);
    if (bits <= 0 || !(events & kPeerEnd) || !(bits & kReadable))
        return bits;
    if (endedNow(socket))
        return bits | kPeerEnd;
    if (events & kReadable)
        return bits;
    if (bits & (kWritable | kFailed))
        return bits & ~kReadable;
    // Data waits unread, but only the end (or room) was asked for: wait the
    // rest of the time for room alone, or let it pass.
    const int left = timeoutMs - static_cast<int>(::GetTickCount() - start);
    if (!write) {
        pauseMs(left);
        return 0;
    }
    const int room = selectReady(socket, false, true, left);
    return room < 0 ? room : room & ~kReadable;
}

void pauseMs(int ms) {
    ::Sleep(ms > 0 ? static_cast<DWORD>(ms) : 0);
}

long sendSome(SocketHandle socket, const void* data, std::size_t length) {
    return ::send(socket, static_cast<const char*>(data), clampLength(length), 0);
}

long receiveSome(SocketHandle socket, void* data, std::size_t length) {
    return ::recv(socket, static_cast<char*>(data), clampLength(length), 0);
}

bool shutdownSend(SocketHandle socket) {
    return ::shutdown(socket, SD_SEND) == 0;
}

bool peerEnded(SocketHandle socket) {
    if (socket == kNoSocket)
        return false;
    const int bits = selectReady(socket, true, false, 0);
    return bits > 0 && (bits & kReadable) && endedNow(socket);
}

std::optional<std::uint64_t> unacknowledgedBytes(SocketHandle) {
    // To come: SIO_TCP_INFO (Windows 10 1703 and later) tells the bytes in
    // flight. Until then the finishing wait goes by the peer's end and its
    // silence alone.
    return std::nullopt;
}

std::uint32_t advertisedWindow(SocketHandle) {
    // To come with SIO_TCP_INFO as well; 0 leaves the acknowledgements (and
    // here the peer's end) to decide.
    return 0;
}

}  // namespace upkeep::platform
