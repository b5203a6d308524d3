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
// tcpIpPortName). lpd, snmp, ipp, ipps, http and https: TcpIp with the URI's
// host only, as their port is not the printer's data port; a host of the
// mDNS domain (".local") the system cannot look up is resolved through
// DNS-SD. ipp, ipps, http and https whose host is a DNS-SD service name, and
// dnssd: the resolved address; those whose path names another server's
// queue (/printers/..., /classes/...) are not printers. usb: the USB table's
// interfaces that match (UsbPortTable::match). parallel:/dev/lpN: Parallel,
// the device path. A maker's backend, SCHEME:/net/MODEL?ip=ADDR (hostname=,
// zc=) and SCHEME:/usb/MODEL?serial=S: TcpIp on that address, or the USB
// printer with that serial. A wrapper backend that carries a device URI
// after its own options ("beh:/1/3/5/socket://..."): classified by the URI
// it wraps. Anything else is not classified.
Classification classifyDeviceUri(std::string_view uri, const PortSources& sources);

// The DNS-SD services and mDNS host names classifyDeviceUri may ask the
// resolver for, so that a search can look them all up at once.
std::vector<platform::ServiceInstance> nameLookups(std::string_view uri);

// The service instance a dnssd:// URI's host names
// ("Meridot 4000._ipp._tcp.local"); none when it names none.
std::optional<platform::ServiceInstance> dnssdInstance(std::string_view host);

}  // namespace upkeep::discovery
