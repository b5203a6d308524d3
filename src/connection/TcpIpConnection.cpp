#include "connection/TcpIpConnection.h"

#include "connection/SocketIo.h"

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

    if (ch == channel::kData || ch == channel::kManagement)
        socket_.reset(platform::openSocket(name->family(), ch == channel::kData));
}

TcpIpConnection::~TcpIpConnection() = default;

bool TcpIpConnection::open() {
    if (!socket_.valid() || !peer_)
        return false;
    const platform::SocketHandle fd = socket_.get();
    // With linger 0, closing resets the connection: the kernel drops what
    // is still queued instead of delivering the rest of a file nobody will
    // answer for. Set from the start, so that a process that ends abruptly
    // resets it too; taken off once the printer took everything.
    if (descriptor_.channel() == channel::kData)
        platform::setResetOnClose(fd, true);
    // Connected without blocking, so that a cancel ends the wait; sends and
    // receives do not block either way.
    if (!platform::setNonBlocking(fd))
        return false;
    platform::clearSocketError();
    if (!platform::startConnect(fd, reinterpret_cast<const sockaddr*>(&*peer_), peerLength_))
        return false;
    if (platform::lastSocketError() != platform::SocketError::InProgress)
        return true;
    if (!socketio::waitFor(fd, platform::kWritable, kSendTimeout, cancelWord()))
        return false;
    return platform::pendingError(fd) == platform::SocketError::None;
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
        platform::setResetOnClose(socket_.get(), false);
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
    // A time-out leaves the error alone: no older error may read as a reset.
    platform::clearSocketError();
    if (socketio::receiveOnce(socket_.get(), buffer, length, kReadTimeout, cancelWord())) {
        // The printer's end where an answer should be: an end with bytes of
        // ours still in its buffers is a printer that stopped reading them.
        if (length == 0 && descriptor_.channel() == channel::kData)
            dropped_ = dropped_ || window_.shrunk(socket_.get());
        return true;
    }
    dropped_ = dropped_ || platform::lastSocketError() == platform::SocketError::Reset;
    return false;
}

std::string TcpIpConnection::failureCode() const {
    if (canceled())
        return {};
    const platform::SocketHandle fd = socket_.get();
    const bool reset =
        socket_.valid() && platform::pendingError(fd) == platform::SocketError::Reset;
    // A stream the printer ended or threw away, against one it merely
    // stopped reading.
    if (dropped_ || reset || socketio::peerEnded(fd))
        return "closedEarly";
    return "stalled";
}

}  // namespace upkeep
