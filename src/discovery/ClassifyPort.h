#pragma once
// Turns a spooler port name into the port descriptor the printer behind it
// is reached by, from the port name itself, the port monitors' registry
// keys and the USB port table.

#include <optional>
#include <string>
#include <string_view>

#include "connection/PortDescriptor.h"
#include "discovery/UsbPortTable.h"
#include "platform/Registry.h"

namespace upkeep::discovery {

struct PortSources {
    const platform::Registry& registry;
    const UsbPortTable& usb;
};

// True when the port is classified: the descriptor's name and port type are
// then set (its channel is left alone). False leaves the descriptor as it was.
//
// The rules, the first that applies deciding:
//  1. a name beginning with "LPT": Parallel, the name itself;
//  2. a Linkora port: "TCPIP,host" TcpIp, "IPX,address" IpxSpx; with
//     neither prefix, the test port's text as TcpIp when the test monitor
//     knows the port too;
//  3. a Standard TCP/IP port: TcpIp, its host name or address;
//  4. a port of the USB table: Usb, the device path;
//  5. a Standard IPX/SPX port: IpxSpx, "NetNum.HWAddress";
//  6. a test port: TcpIp, its text;
//  7. a device URI (the spooler's port names on Linux): see classifyDeviceUri.
bool classifyPort(std::string_view portName, PortDescriptor& descriptor,
                  const PortSources& sources);

// socket, lpd, ipp, ipps, http and https URIs: TcpIp with the URI's host
// (its port number is dropped: the connection picks the printer's ports).
// usb URIs: Usb with the device path of the USB table's entry for the URI's
// serial number (and product). "parallel:" URIs: Parallel. Anything else,
// dnssd:// for one, is not classified.
bool classifyDeviceUri(std::string_view uri, PortDescriptor& descriptor, const UsbPortTable& usb);

// The parts of a device URI discovery looks at, percent-escapes decoded.
struct DeviceUri {
    std::string scheme;  // lower case
    std::string host;    // without user, brackets or port number
    std::string path;    // from the first "/" after the host, without the query
    std::string query;
};
std::optional<DeviceUri> parseDeviceUri(std::string_view uri);

}  // namespace upkeep::discovery
