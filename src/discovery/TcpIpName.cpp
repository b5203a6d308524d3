#include "discovery/TcpIpName.h"

#include "connection/PortDescriptor.h"
#include "platform/Socket.h"

namespace upkeep::discovery {
namespace {

// An IPv6 address, with an optional zone ("fe80::1%eth0").
bool isIpv6(std::string_view host) {
    std::string address(host.substr(0, host.find('%')));
    in6_addr parsed{};
    return inet_pton(AF_INET6, address.c_str(), &parsed) == 1;
}

bool isIpv4(std::string_view host) {
    in_addr parsed{};
    return inet_pton(AF_INET, std::string(host).c_str(), &parsed) == 1;
}

bool usableHost(std::string_view host) {
    if (host.empty())
        return false;
    for (unsigned char c : host) {
        if (c <= ' ' || c == 0x7f || c == '[' || c == ']' || c == '/' || c == '@')
            return false;
    }
    if (host.find(':') != std::string_view::npos)
        return isIpv6(host);
    if (host.front() >= '0' && host.front() <= '9')
        return isIpv4(host);
    return true;
}

}  // namespace

std::optional<std::string> tcpIpPortName(std::string_view host, std::optional<std::uint16_t> port) {
    if (!usableHost(host))
        return std::nullopt;
    bool ipv6 = host.find(':') != std::string_view::npos;
    // Appended piece by piece: GCC 12 at -O3 warns falsely about a chain
    // of concatenations.
    std::string name;
    if (!port || *port == kDefaultDataPort) {
        name = host;
    } else {
        if (ipv6)
            name += '[';
        name += host;
        if (ipv6)
            name += ']';
        name += ':';
        name += std::to_string(*port);
    }
    if (name.size() > PortDescriptor::Text::kCapacity)
        return std::nullopt;
    return name;
}

}  // namespace upkeep::discovery
