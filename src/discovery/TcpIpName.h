#pragma once
// The name a TcpIp port descriptor carries: the host, and the printer's
// data port when it is not the usual one.
//
//   "HOST", "HOST:PORT", an IPv6 literal bare ("::1") or "[IPV6]:PORT".

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace upkeep::discovery {

inline constexpr std::uint16_t kDefaultDataPort = 9100;

// None when the host is no host (empty, holding spaces, brackets, slashes
// or control characters; with a colon but no IPv6 address; starting with a
// digit but no dotted address), or when the name would not fit a descriptor
// whole: a cut or misread name reaches another printer. The default data
// port is left out, so that queues naming it and queues that do not are one
// printer.
std::optional<std::string> tcpIpPortName(std::string_view host, std::optional<std::uint16_t> port);

}  // namespace upkeep::discovery
