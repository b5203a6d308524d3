#pragma once
// The printer a command names on its command line.

#include <optional>
#include <string>

#include "connection/PortDescriptor.h"

namespace upkeep::cli {

// A printer address as the tool takes it: a dotted address or host name,
// either with ":PORT" (its data port, 1 to 65535), an IPv6 address ("::1",
// "[::1]" or "[::1]:9100"), "ipx:NET.NODE" (8 and 12 hexadecimal digits),
// "usb:DEVICE-PATH" (a path that fits a port name whole), "lpt:" (also
// "lpt:1": the first parallel port) or "lpt:/dev/lpN" (that device).
// Anything else is refused. A network address must be
// four numbers from 0 to 255 and nothing else, or a host name starting with
// a letter: the connection's own reading would take "10.0.0.256" for
// 10.0.0.0 and "10.0.0.1x" for 10.0.0.1, and send a download to a printer
// nobody named.
std::optional<PortDescriptor> parseTarget(const std::string& target);

// A target as the commands take it: the name of one of the print spooler's
// queues stands for that queue's printer; anything else is read by
// parseTarget. Addresses and prefixed targets never ask the spooler.
std::optional<PortDescriptor> resolveTarget(const std::string& target);

// What to tell the user of a target parseTarget refused: a raw parallel
// port node names the device to use instead.
std::string targetError(const std::string& target);

// For a parallel port whose device does not exist (no parallel port on this
// computer, or another path), the message that says so (in English, as
// --json keeps it: shown() translates it); else nothing.
std::optional<std::string> missingPort(const PortDescriptor& port);

// The host part of that rule (no port), for commands that take only an address.
bool isNetworkAddress(const std::string& text);

}  // namespace upkeep::cli
