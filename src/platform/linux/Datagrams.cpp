// Batches of datagrams with sendmmsg and recvmmsg; refused ports from the
// socket's error queue (IP_RECVERR), each naming its request's destination.
#include "platform/Datagrams.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>

#include <array>
#include <cerrno>

#include "platform/Descriptors.h"

namespace upkeep::platform {
namespace {

constexpr std::size_t kMostAtOnce = 64;

// Errors an ICMP message left on the socket for a datagram of earlier: the
// call that meets one did not fail itself.
bool earlierError(int error) {
    return error == ECONNREFUSED || error == EHOSTUNREACH || error == ENETUNREACH ||
           error == EHOSTDOWN || error == EPROTO;
}

struct Batch {
    std::array<mmsghdr, kMostAtOnce> messages{};
    std::array<iovec, kMostAtOnce> parts{};

    unsigned fill(Datagram* batch, std::size_t count, bool receiving) {
        const unsigned n = static_cast<unsigned>(std::min(count, kMostAtOnce));
        for (unsigned k = 0; k < n; ++k) {
            parts[k] = {batch[k].data, batch[k].length};
            messages[k] = {};
            messages[k].msg_hdr.msg_name = &batch[k].peer;
            messages[k].msg_hdr.msg_namelen =
                receiving ? static_cast<socklen_t>(sizeof batch[k].peer) : batch[k].peerLength;
            messages[k].msg_hdr.msg_iov = &parts[k];
            messages[k].msg_hdr.msg_iovlen = 1;
        }
        return n;
    }
};

}  // namespace

DatagramSocket::DatagramSocket(int family, int receiveBuffer) {
    socket_.reset(::socket(family, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, IPPROTO_UDP));
    if (!socket_.valid()) {
        noteOpenFailure(errno);
        return;
    }
    const int fd = socket_.get();
    ::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &receiveBuffer, sizeof receiveBuffer);
    socklen_t size = sizeof granted_;
    if (::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted_, &size) != 0)
        granted_ = 0;
    // A refused port fails its request at once, as on a connected socket.
    const int on = 1;
    if (family == AF_INET6)
        ::setsockopt(fd, IPPROTO_IPV6, IPV6_RECVERR, &on, sizeof on);
    else
        ::setsockopt(fd, IPPROTO_IP, IP_RECVERR, &on, sizeof on);
}

int DatagramSocket::send(Datagram* batch, std::size_t count, DatagramError& error) {
    Batch messages;
    const unsigned n = messages.fill(batch, count, false);
    const int sent =
        ::sendmmsg(socket_.get(), messages.messages.data(), n, MSG_DONTWAIT | MSG_NOSIGNAL);
    if (sent >= 0) {
        error = DatagramError::None;
        return sent;
    }
    if (errno == EINTR || earlierError(errno))
        error = DatagramError::Retry;
    else if (errno == EAGAIN || errno == EWOULDBLOCK || errno == ENOBUFS)
        error = DatagramError::WouldBlock;
    else
        error = DatagramError::Failed;
    return -1;
}

int DatagramSocket::receive(Datagram* batch, std::size_t count) {
    Batch messages;
    const unsigned n = messages.fill(batch, count, true);
    // Bounded: each error an earlier datagram left is told once.
    for (int tries = 0; tries < 64; ++tries) {
        const int got =
            ::recvmmsg(socket_.get(), messages.messages.data(), n, MSG_DONTWAIT, nullptr);
        if (got < 0) {
            if (errno == EINTR || earlierError(errno))
                continue;
            return 0;
        }
        for (int k = 0; k < got; ++k) {
            batch[k].length = messages.messages[k].msg_len;
            batch[k].peerLength = messages.messages[k].msg_hdr.msg_namelen;
        }
        return got;
    }
    return 0;
}

bool DatagramSocket::takeRefused(sockaddr_storage& to) {
    for (;;) {
        // The original datagram comes back with the error; only its
        // destination matters.
        std::uint8_t payload[64];
        alignas(cmsghdr) std::uint8_t control[512];
        iovec io{payload, sizeof payload};
        msghdr message{};
        to = {};
        message.msg_name = &to;
        message.msg_namelen = sizeof to;
        message.msg_iov = &io;
        message.msg_iovlen = 1;
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        if (::recvmsg(socket_.get(), &message, MSG_ERRQUEUE | MSG_DONTWAIT) >= 0)
            return true;
        if (errno != EINTR)
            return false;
    }
}

int waitDatagrams(DatagramSocket* const* sockets, int* ready, std::size_t count, bool forRoom,
                  int timeoutMs) {
    std::array<pollfd, 4> fds{};
    count = std::min(count, fds.size());
    for (std::size_t i = 0; i < count; ++i) {
        fds[i] = {sockets[i]->handle(), static_cast<short>(POLLIN | (forRoom ? POLLOUT : 0)), 0};
        ready[i] = 0;
    }
    const int n = ::poll(fds.data(), count, timeoutMs);
    if (n <= 0)
        return 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (fds[i].revents & POLLIN)
            ready[i] |= kReadable;
        if (fds[i].revents & POLLOUT)
            ready[i] |= kWritable;
        if (fds[i].revents & POLLERR)
            ready[i] |= kFailed;
    }
    return n;
}

}  // namespace upkeep::platform
