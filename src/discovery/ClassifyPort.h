#pragma once
// Turns a spooler port name into the port descriptor the printer behind it
// is reached by, from the port name itself, the port monitors' registry
// keys, the USB port table and, for DNS-SD names, the service resolver.

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "connection/PortDescriptor.h"
#include "discovery/UsbPortTable.h"
#include "platform/Registry.h"
#include "platform/ServiceResolver.h"

namespace upkeep::discovery {

struct PortSources {
    const platform::Registry& registry;
    const UsbPortTable& usb;
    // None: dnssd:// ports are listed as not reachable.
    const platform::ServiceResolver* dnssd = nullptr;
};

// What a port name was found to be.
struct Classification {
    PortType type = PortType::None;
    // The descriptor names; empty when the port is not classified. Several
    // when a usb:// URI fits several identical printers. One empty name
    // when the port is a network printer that cannot be reached (problem
    // says why): it is listed, and shown as not reachable.
    std::vector<std::string> names;
    std::string rule;     // which rule placed it, for reports
    std::string problem;  // why it is not classified or not reachable

    bool classified() const { return !names.empty(); }
};

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
Classification classify(std::string_view portName, const PortSources& sources);

// True when the port is classified: the descriptor's name (the first one)
// and port type are then set (its channel is left alone). False leaves the
// descriptor as it was.
bool classifyPort(std::string_view portName, PortDescriptor& descriptor,
                  const PortSources& sources);

// socket://HOST[:PORT]: TcpIp, the data port kept in the name (see
// tcpIpPortName). lpd, ipp, ipps, http and https: TcpIp with the URI's host
// only, as their port is not the printer's data port. usb: the USB table's
// interfaces that match (UsbPortTable::match). parallel:/dev/lpN: Parallel,
// the device path. dnssd: the resolved address, TcpIp. Anything else is
// not classified.
Classification classifyDeviceUri(std::string_view uri, const PortSources& sources);

// The service instance a dnssd:// URI's host names
// ("Meridot 4000._ipp._tcp.local"); none when it names none.
std::optional<platform::ServiceInstance> dnssdInstance(std::string_view host);

}  // namespace upkeep::discovery
