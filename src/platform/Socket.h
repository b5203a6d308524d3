#pragma once
// The socket calls the network connection kinds make, the same on every
// system: the system's own headers for addresses, one socket handle type
// with its owner, readiness waits in milliseconds, sends and receives that
// never block and never raise a signal, and what the system can tell about
// a stream (its peer's end, the bytes not acknowledged yet, the window its
// peer advertises). Linux answers from BSD sockets, Windows from Winsock 2.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#endif

#include <cstddef>
#include <cstdint>
#include <optional>
#include <utility>

namespace upkeep::platform {

#ifdef _WIN32
using SocketHandle = SOCKET;
inline constexpr SocketHandle kNoSocket = INVALID_SOCKET;
#else
using SocketHandle = int;
inline constexpr SocketHandle kNoSocket = -1;
#endif

// Makes the system's socket library ready (Winsock wants it before any
// call, name look-ups included); false when it cannot be. Safe to call
// again and from any thread.
bool startSockets();

// A stream or datagram socket for the family (AF_INET, AF_INET6), not
// inherited by child processes; kNoSocket when none could be made (a
// shortage of descriptors is noted, see Descriptors.h).
SocketHandle openSocket(int family, bool stream);
void closeSocket(SocketHandle socket);

// Owns one socket and closes it when it goes.
class UniqueSocket {
  public:
    UniqueSocket() = default;
    explicit UniqueSocket(SocketHandle socket) : socket_(socket) {}
    ~UniqueSocket() { reset(); }
    UniqueSocket(UniqueSocket&& other) noexcept
        : socket_(std::exchange(other.socket_, kNoSocket)) {}
    UniqueSocket& operator=(UniqueSocket&& other) noexcept {
        if (this != &other)
            reset(std::exchange(other.socket_, kNoSocket));
        return *this;
    }
    UniqueSocket(const UniqueSocket&) = delete;
    UniqueSocket& operator=(const UniqueSocket&) = delete;

    SocketHandle get() const { return socket_; }
    bool valid() const { return socket_ != kNoSocket; }
    void reset(SocketHandle socket = kNoSocket) {
        if (socket_ != kNoSocket)
            closeSocket(socket_);
        socket_ = socket;
    }

  private:
    SocketHandle socket_ = kNoSocket;
};

// What a failed call left behind, in the few kinds the callers tell apart.
enum class SocketError {
    None,
    WouldBlock,   // nothing to take or no room now
    InProgress,   // a connect goes on in the background
    Interrupted,  // a signal came; try again
    Reset,        // the peer reset or ended the stream under us
    Other,
};
// The last socket call's error on this thread; clearSocketError forgets it.
SocketError lastSocketError();
void clearSocketError();
// The error pending on the socket (a connect's outcome, a reset), taken
// from it; Other when it cannot be asked.
SocketError pendingError(SocketHandle socket);

bool setNonBlocking(SocketHandle socket);
// Linger 0: closing resets the stream and drops what is queued. Off: a
// normal close.
void setResetOnClose(SocketHandle socket, bool reset);

// Closing waits up to `seconds` for queued data to go.
void setLinger(SocketHandle socket, int seconds);

// Starts a connect on a non-blocking socket: true when it is connected or
// under way (lastSocketError says InProgress), false when it failed.
bool startConnect(SocketHandle socket, const sockaddr* address, socklen_t length);

// Readiness, as bits.
inline constexpr int kReadable = 1;
inline constexpr int kWritable = 2;
inline constexpr int kPeerEnd = 4;  // asked for: the peer's end; also reported
inline constexpr int kFailed = 8;   // reported only: an error or hang-up
// Waits at most timeoutMs for one of `events`: the bits that came (kFailed
// among them on an error or hang-up), 0 on a time-out or an interrupted
// wait, -1 when the wait itself failed.
int waitReady(SocketHandle socket, int events, int timeoutMs);
// Sleeps about ms without a socket to wait on.
void pauseMs(int ms);

// One send or receive that does not block: bytes moved, 0 for a receive
// at the peer's end, -1 on an error (lastSocketError says which).
long sendSome(SocketHandle socket, const void* data, std::size_t length);
long receiveSome(SocketHandle socket, void* data, std::size_t length);

// Ends this side's sending (half-close).
bool shutdownSend(SocketHandle socket);
// Whether the stream's peer ended its sending side; nothing is read.
bool peerEnded(SocketHandle socket);
// Whether the system tells the bytes the peer has not acknowledged.
#ifdef _WIN32
inline constexpr bool kTellsUnacknowledged = false;
#else
inline constexpr bool kTellsUnacknowledged = true;
#endif
// Bytes written (and the end mark) the peer has not acknowledged; none
// when the system does not tell, or on an error.
std::optional<std::uint64_t> unacknowledgedBytes(SocketHandle socket);
// The receive window the peer advertised last; 0 when the system does not
// tell.
std::uint32_t advertisedWindow(SocketHandle socket);

}  // namespace upkeep::platform
