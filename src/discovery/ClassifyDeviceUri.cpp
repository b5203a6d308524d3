// The spooler's device URIs (CUPS queues) turned into ports.

#include <charconv>

#include "discovery/ClassifyPort.h"
#include "discovery/DeviceUri.h"
#include "discovery/TcpIpName.h"

namespace upkeep::discovery {
namespace {

Classification notClassified(std::string problem) {
    return {PortType::None, {}, {}, std::move(problem)};
}

Classification network(const DeviceUri& uri) {
    // Only a socket URI's port is the printer's data port; the others name
    // the port of their own protocol.
    std::optional<std::uint16_t> dataPort = uri.scheme == "socket" ? uri.port : std::nullopt;
    std::optional<std::string> name = tcpIpPortName(uri.host, dataPort);
    bool literal = uri.host.find(':') != std::string::npos;
    if (!name || uri.ipLiteral != literal)
        return notClassified("no usable host in the URI");
    return {PortType::TcpIp, {*name}, uri.scheme + " URI", {}};
}

std::optional<std::uint32_t> number(const std::string& text) {
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

Classification usb(const DeviceUri& uri, const UsbPortTable& table) {
    UsbPortTable::UriQuery query;
    query.make = uri.host;
    query.model = uri.path.substr(uri.path.empty() || uri.path.front() != '/' ? 0 : 1);
    query.serialNumber = queryValue(uri.query, "serial");
    query.interfaceNumber = number(queryValue(uri.query, "interface"));
    std::vector<std::string> paths = table.match(query);
    std::vector<std::string> names;
    for (std::string& path : paths) {
        if (path.size() <= PortDescriptor::Text::kCapacity)
            names.push_back(std::move(path));
    }
    if (names.empty()) {
        return notClassified(
            query.serialNumber.empty()
                ? "no USB printer " + query.make + " " + query.model + " is present"
                : "no USB printer with serial number " + query.serialNumber + " is present");
    }
    std::string rule =
        query.serialNumber.empty() ? "usb URI, make and model" : "usb URI, serial number";
    if (names.size() > 1) {
        rule += ", ambiguous: " + std::to_string(names.size()) +
                " identical printers without serial numbers";
    }
    return {PortType::Usb, std::move(names), std::move(rule), {}};
}

Classification parallel(const DeviceUri& uri) {
    const std::string& path = uri.path;
    if (path.size() < 2 || path.front() != '/' || path.size() > PortDescriptor::Text::kCapacity)
        return notClassified("no device path in the URI");
    return {PortType::Parallel, {path}, "parallel URI", {}};
}

Classification dnssd(const DeviceUri& uri, const platform::ServiceResolver* resolver) {
    std::optional<platform::ServiceInstance> instance = dnssdInstance(uri.host);
    if (!instance)
        return notClassified("no DNS-SD service name in the URI");
    auto unreachable = [](std::string problem) {
        return Classification{PortType::TcpIp, {std::string()}, "dnssd URI", std::move(problem)};
    };
    if (resolver == nullptr)
        return unreachable("DNS-SD names cannot be resolved here");
    platform::Resolution resolution = resolver->resolve(*instance);
    if (!resolution.service)
        return unreachable(resolution.problem);
    const platform::ResolvedService& service = *resolution.service;
    // A raw print service announces the data port; the others their own.
    std::optional<std::uint16_t> dataPort;
    if (instance->type == "_pdl-datastream._tcp")
        dataPort = service.port;
    std::optional<std::string> name = tcpIpPortName(service.address, dataPort);
    if (!name)
        return unreachable("resolved to an address that cannot be used: " + service.address);
    return {PortType::TcpIp, {*name}, "dnssd URI, resolved to " + service.hostName, {}};
}

}  // namespace

std::optional<platform::ServiceInstance> dnssdInstance(std::string_view host) {
    // NAME._SERVICE._tcp.DOMAIN: the name may hold dots, the domain holds
    // no "._tcp" label.
    std::size_t protocol = std::string_view::npos;
    for (std::string_view label : {std::string_view("._tcp"), std::string_view("._udp")}) {
        for (std::size_t at = host.rfind(label); at != std::string_view::npos;
             at = at == 0 ? std::string_view::npos : host.rfind(label, at - 1)) {
            std::size_t after = at + label.size();
            if (after == host.size() || host[after] == '.') {
                if (protocol == std::string_view::npos || at > protocol)
                    protocol = at;
                break;
            }
        }
    }
    if (protocol == std::string_view::npos || protocol == 0)
        return std::nullopt;
    std::size_t service = host.rfind("._", protocol - 1);
    if (service == std::string_view::npos || service == 0)
        return std::nullopt;
    platform::ServiceInstance instance;
    instance.name = host.substr(0, service);
    instance.type = host.substr(service + 1, protocol + 5 - service - 1);
    std::string_view domain =
        protocol + 5 < host.size() ? host.substr(protocol + 6) : std::string_view();
    while (!domain.empty() && domain.back() == '.')
        domain.remove_suffix(1);
    instance.domain = domain.empty() ? "local" : std::string(domain);
    return instance;
}

Classification classifyDeviceUri(std::string_view uri, const PortSources& sources) {
    std::optional<DeviceUri> parts = parseDeviceUri(uri);
    if (!parts)
        return notClassified("not a device URI");
    const std::string& scheme = parts->scheme;
    if (scheme == "socket" || scheme == "lpd" || scheme == "ipp" || scheme == "ipps" ||
        scheme == "http" || scheme == "https")
        return network(*parts);
    if (scheme == "usb")
        return usb(*parts, sources.usb);
    if (scheme == "parallel")
        return parallel(*parts);
    if (scheme == "dnssd")
        return dnssd(*parts, sources.dnssd);
    return notClassified("no printer port of ours: " + scheme);
}

}  // namespace upkeep::discovery
