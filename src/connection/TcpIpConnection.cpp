#include "connection/TcpIpConnection.h"

#include "connection/SocketIo.h"
#include "platform/Descriptors.h"

#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <cerrno>

namespace upkeep {

TcpIpConnection::TcpIpConnection(const PortDescriptor& descriptor) : descriptor_(descriptor) {
    if (descriptor_.name().empty())
        return;
    const std::uint32_t ch = descriptor_.channel();
    std::optional<NetworkName> name = resolveNetworkName(descriptor_.name().view());
    if (!name)
        return;
    // SNMP always goes to its own port of the host; print data to the port
    // the name gives, if any.
    port_ = ch == channel::kManagement ? kSnmpPort : name->port.value_or(kDataPort);
    peer_ = name->withPort(port_);
    peerLength_ = name->length;

    if (ch == channel::kData) {
        socket_.reset(::socket(name->family(), SOCK_STREAM | SOCK_CLOEXEC, IPPROTO_TCP));
    } else if (ch == channel::kManagement) {
        socket_.reset(::socket(name->family(), SOCK_DGRAM | SOCK_CLOEXEC, IPPROTO_UDP));
    }
    if (!socket_.valid())
        platform::noteOpenFailure(errno);
}

namespace {

// With linger 0, closing resets the connection: the kernel drops what is
// still queued instead of delivering the rest of a file nobody will answer
// for. Set from the start, so that a process that ends abruptly resets it
// too; taken off once the printer took everything.
void setResetOnClose(int fd, bool reset) {
    linger option{};
    option.l_onoff = reset ? 1 : 0;
    option.l_linger = 0;
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &option, sizeof option);
}

}  // namespace

TcpIpConnection::~TcpIpConnection() = default;

bool TcpIpConnection::open() {
    if (!socket_.valid() || !peer_)
        return false;
    const int fd = socket_.get();
    if (descriptor_.channel() == channel::kData)
        setResetOnClose(fd, true);
    // Connected without blocking, so that a cancel ends the wait; sends and
    // receives do not block either way.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags < 0 || ::fcntl(fd, F_SETFL, flags | O_NONBLOCK) != 0)
        return false;
    int result;
    do {
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&*peer_), peerLength_);
    } while (result != 0 && errno == EINTR);
    if (result == 0)
        return true;
    if (errno != EINPROGRESS)
        return false;
    if (!socketio::waitFor(fd, POLLOUT, kSendTimeout, cancelWord()))
        return false;
    int error = 0;
    socklen_t size = sizeof error;
    return ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
}

bool TcpIpConnection::write(const std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr)
        return false;
    if (length == 0)
        return true;
    if (!socket_.valid())
        return false;
    if (descriptor_.channel() != channel::kData)
        return socketio::sendAll(socket_.get(), buffer, length, kSendTimeout, cancelWord());
    // A printer that ended its side stopped taking the file, even though
    // its kernel may still acknowledge what we send.
    if (socketio::peerEnded(socket_.get()))
        return false;
    return socketio::sendAll(socket_.get(), buffer, length, kSendTimeout, cancelWord(), true,
                             &window_, writeReport());
}

bool TcpIpConnection::finishSending(const UnconfirmedReport& report) {
    if (descriptor_.channel() != channel::kData)
        return true;
    socketio::FinishWait wait{
        true, kSendTimeout, kReadTimeout, cancelWord(), report ? &report : nullptr, &window_};
    return taken(socketio::finishStream(socket_.get(), wait));
}

bool TcpIpConnection::awaitTaken(const UnconfirmedReport& report) {
    if (descriptor_.channel() != channel::kData)
        return true;
    socketio::FinishWait wait{
        false, kSendTimeout, kReadTimeout, cancelWord(), report ? &report : nullptr, &window_};
    return taken(socketio::finishStream(socket_.get(), wait));
}

bool TcpIpConnection::taken(bool all) {
    if (all)
        setResetOnClose(socket_.get(), false);
    return all;
}

std::uint64_t TcpIpConnection::unconfirmed() const {
    if (descriptor_.channel() != channel::kData)
        return 0;
    return socketio::unacknowledged(socket_.get());
}

bool TcpIpConnection::read(std::uint8_t* buffer, std::size_t& length) {
    if (!socket_.valid() || !peer_)
        return false;
    errno = 0;  // a time-out leaves errno alone: no older error may read as a reset
    if (socketio::receiveOnce(socket_.get(), buffer, length, kReadTimeout, cancelWord())) {
        // The printer's end where an answer should be: an end with bytes of
        // ours still in its buffers is a printer that stopped reading them.
        if (length == 0 && descriptor_.channel() == channel::kData)
            dropped_ = dropped_ || window_.shrunk(socket_.get());
        return true;
    }
    dropped_ = dropped_ || errno == ECONNRESET || errno == EPIPE;
    return false;
}

std::string TcpIpConnection::failureCode() const {
    if (canceled())
        return {};
    int error = 0;
    socklen_t size = sizeof error;
    const int fd = socket_.get();
    if (fd >= 0)
        ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &size);
    // A stream the printer ended or threw away, against one it merely
    // stopped reading.
    if (dropped_ || error == ECONNRESET || error == EPIPE || socketio::peerEnded(fd))
        return "closedEarly";
    return "stalled";
}

}  // namespace upkeep
