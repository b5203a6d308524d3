#pragma once
// The printer a command names on its command line.

#include <optional>
#include <string>

#include "connection/PortDescriptor.h"

namespace upkeep::cli {

// A printer address as the tool takes it: a dotted address or host name,
// "ipx:NET.NODE" (8 and 12 hexadecimal digits), "usb:DEVICE-PATH" (a path
// that fits a port name whole) or "lpt:" (also "lpt:1": there is one
// parallel port). Anything else is refused. A network address must be
// four numbers from 0 to 255 and nothing else, or a host name starting with
// a letter: the connection's own reading would take "10.0.0.256" for
// 10.0.0.0 and "10.0.0.1x" for 10.0.0.1, and send a download to a printer
// nobody named.
std::optional<PortDescriptor> parseTarget(const std::string& target);

// The network part of that rule, for commands that take only an address.
bool isNetworkAddress(const std::string& text);

}  // namespace upkeep::cli
