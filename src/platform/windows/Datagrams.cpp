// One datagram per call with sendto and recvfrom, readiness by WSAPoll
// (sound for datagram sockets). A refused port would fail the next
// receive without naming whose it was, so that report is turned off and
// the request's time-out ends it.
#include "platform/Datagrams.h"

#include <mstcpip.h>
#include <mswsock.h>

#include "platform/Descriptors.h"

namespace upkeep::platform {

DatagramSocket::DatagramSocket(int family, int receiveBuffer) {
    socket_.reset(openSocket(family, false));
    if (!socket_.valid() || !setNonBlocking(socket_.get())) {
        socket_.reset();
        return;
    }
    const SocketHandle socket = socket_.get();
    ::setsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<const char*>(&receiveBuffer),
                 sizeof receiveBuffer);
    int size = sizeof granted_;
    if (::getsockopt(socket, SOL_SOCKET, SO_RCVBUF, reinterpret_cast<char*>(&granted_), &size) != 0)
        granted_ = 0;
    BOOL report = FALSE;
    DWORD returned = 0;
    ::WSAIoctl(socket, SIO_UDP_CONNRESET, &report, sizeof report, nullptr, 0, &returned, nullptr,
               nullptr);
}

int DatagramSocket::send(Datagram* batch, std::size_t count, DatagramError& error) {
    error = DatagramError::None;
    int sent = 0;
    for (std::size_t k = 0; k < count; ++k) {
        const int n =
            ::sendto(socket_.get(), reinterpret_cast<const char*>(batch[k].data),
                     static_cast<int>(batch[k].length), 0,
                     reinterpret_cast<const sockaddr*>(&batch[k].peer), batch[k].peerLength);
        if (n != SOCKET_ERROR) {
            ++sent;
            continue;
        }
        if (sent > 0)
            break;
        const int code = WSAGetLastError();
        if (code == WSAEWOULDBLOCK || code == WSAENOBUFS)
            error = DatagramError::WouldBlock;
        else if (code == WSAEINTR || code == WSAECONNRESET)
            error = DatagramError::Retry;
        else
            error = DatagramError::Failed;
        return -1;
    }
    return sent;
}

int DatagramSocket::receive(Datagram* batch, std::size_t count) {
    int got = 0;
    for (std::size_t k = 0; k < count; ++k) {
        int length = sizeof batch[got].peer;
        const int n = ::recvfrom(socket_.get(), reinterpret_cast<char*>(batch[got].data),
                                 static_cast<int>(batch[got].length), 0,
                                 reinterpret_cast<sockaddr*>(&batch[got].peer), &length);
        if (n == SOCKET_ERROR) {
            const int code = WSAGetLastError();
            // A datagram too large for the room is cut and told so: it is
            // still one that came, and the reply parser refuses it.
            if (code == WSAEMSGSIZE) {
                batch[got].peerLength = length;
                ++got;
                continue;
            }
            if (code == WSAECONNRESET || code == WSAEINTR)
                continue;
            break;
        }
        batch[got].length = static_cast<std::size_t>(n);
        batch[got].peerLength = length;
        ++got;
    }
    return got;
}

bool DatagramSocket::takeRefused(sockaddr_storage&) {
    return false;
}

int waitDatagrams(DatagramSocket* const* sockets, int* ready, std::size_t count, bool forRoom,
                  int timeoutMs) {
    WSAPOLLFD fds[4]{};
    count = count < 4 ? count : 4;
    for (std::size_t i = 0; i < count; ++i) {
        fds[i].fd = sockets[i]->handle();
        fds[i].events = static_cast<SHORT>(POLLRDNORM | (forRoom ? POLLWRNORM : 0));
        ready[i] = 0;
    }
    const int n = ::WSAPoll(fds, static_cast<ULONG>(count), timeoutMs);
    if (n <= 0)
        return 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (fds[i].revents & POLLRDNORM)
            ready[i] |= kReadable;
        if (fds[i].revents & POLLWRNORM)
            ready[i] |= kWritable;
    }
    return n;
}

}  // namespace upkeep::platform
