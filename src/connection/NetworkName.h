#pragma once
// How a network printer's name becomes an address: "HOST", "HOST:PORT",
// "[IPV6]", "[IPV6]:PORT" or a bare IPv6 literal ("::1"). A host that
// starts with a letter is looked up (IPv4 or IPv6, the first answer); an
// IPv6 literal is read as one; anything else is read as "%d.%d.%d.%d"
// (the low eight bits of each number), and fewer than four numbers are
// refused: the missing bytes would be guesses. A port that is not a
// number from 1 to 65535 is refused rather than read as another.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/Socket.h"

namespace upkeep {

struct NetworkName {
    sockaddr_storage address{};  // the host, its port not set
    socklen_t length = 0;
    std::optional<std::uint16_t> port;  // given in the name

    int family() const { return address.ss_family; }
    // The host's address as text ("10.0.0.5", "::1").
    std::string text() const;
    // The socket address with `port` set.
    sockaddr_storage withPort(std::uint16_t port) const;
};

std::optional<NetworkName> resolveNetworkName(std::string_view name);

}  // namespace upkeep
