#pragma once
// The IPX/SPX transport an IPX connection is given. Linux has none: the
// connection then holds no socket and every operation fails cleanly. Tests
// give a transport over local sockets to check the framing byte for byte.

#include <array>
#include <cstdint>
#include <memory>

#include "platform/Socket.h"

namespace upkeep::platform {

struct IpxAddress {
    std::array<std::uint8_t, 4> network{};
    std::array<std::uint8_t, 6> node{};
    std::uint16_t socket = 0;  // host byte order
};

class IpxTransport {
  public:
    virtual ~IpxTransport() = default;
    // A socket for the channel: sequenced packets (SPX) for data, datagrams
    // (IPX) for management. Invalid when there is no transport.
    virtual UniqueSocket createSocket(bool sequencedPacket) = 0;
    virtual bool connect(SocketHandle socket, const IpxAddress& peer) = 0;
};

// The platform's transport, or null where it has none (Linux).
std::unique_ptr<IpxTransport> systemIpxTransport();

// Lets tests stand a transport in for the platform's; null restores it.
using IpxTransportFactory = std::unique_ptr<IpxTransport> (*)();
void setIpxTransportFactory(IpxTransportFactory factory);

}  // namespace upkeep::platform
