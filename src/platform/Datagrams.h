#pragma once
// Many datagrams to and from many agents on one unconnected UDP socket: a
// sweep's traffic. Linux moves a batch with one call and hears of a refused
// port from the socket's error queue, with the destination named; Windows
// moves one datagram per call, and a refused port only makes the next
// receive fail without saying whose it was, so there the request's own
// time-out ends it.

#include <cstddef>
#include <cstdint>

#include "platform/Socket.h"

namespace upkeep::platform {

struct Datagram {
    sockaddr_storage peer{};  // send: where to; receive: where from
    socklen_t peerLength = 0;
    std::uint8_t* data = nullptr;  // send: the bytes; receive: room for one
    std::size_t length = 0;        // send: bytes; receive: room, then bytes come
};

enum class DatagramError {
    None,
    WouldBlock,  // no room now: wait until the socket is writable
    Retry,       // a signal, or an error left by an earlier datagram
    Failed,      // the first of the batch cannot go
};

class DatagramSocket {
  public:
    // A non-blocking socket for the family asking for a receive buffer of
    // `receiveBuffer` bytes; invalid when none could be made (the shortage
    // is noted, see Descriptors.h).
    DatagramSocket(int family, int receiveBuffer);

    bool valid() const { return socket_.valid(); }
    // The receive buffer the system granted; 0 when it does not say.
    int receiveBuffer() const { return granted_; }

    // Sends from the first `count` of `batch`: how many went, or -1 with
    // `error` saying why the first did not.
    int send(Datagram* batch, std::size_t count, DatagramError& error);
    // Takes up to `count` waiting datagrams into `batch`: how many came.
    int receive(Datagram* batch, std::size_t count);
    // Takes one destination the network refused since the last look into
    // `to`; false when there is none (always on Windows).
    bool takeRefused(sockaddr_storage& to);

    SocketHandle handle() const { return socket_.get(); }

  private:
    UniqueSocket socket_;
    int granted_ = 0;
};

// Waits at most timeoutMs for any of `count` sockets: readable ones, and
// writable ones when `forRoom`. `ready[i]` gets each one's bits (kReadable,
// kWritable, kFailed for refusals waiting to be taken). Returns how many
// are ready, 0 on a time-out.
int waitDatagrams(DatagramSocket* const* sockets, int* ready, std::size_t count, bool forRoom,
                  int timeoutMs);

}  // namespace upkeep::platform
