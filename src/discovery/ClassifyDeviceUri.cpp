// The spooler's device URIs (CUPS queues) turned into ports.

#include <array>
#include <cctype>
#include <charconv>

#include "connection/NetworkName.h"
#include "discovery/ClassifyPort.h"
#include "discovery/DeviceUri.h"
#include "discovery/TcpIpName.h"
#include "platform/AsciiText.h"

namespace upkeep::discovery {
namespace {

Classification notClassified(std::string problem) {
    return {PortType::None, {}, {}, std::move(problem)};
}

// A network printer named in the URI but not found: listed, and shown as
// not reachable with the reason.
Classification unreachable(std::string rule, std::string problem) {
    return {PortType::TcpIp, {std::string()}, std::move(rule), std::move(problem)};
}

// A host of the mDNS domain ("labprinter.local", "labprinter.local.").
bool isLocalName(std::string_view host) {
    while (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    constexpr std::string_view kLocal = ".local";
    if (host.size() <= kLocal.size())
        return false;
    std::string tail(host.substr(host.size() - kLocal.size()));
    for (char& c : tail)
        c = platform::lowerAscii(c);
    return tail == kLocal;
}

// The printer-side schemes whose host may be a DNS-SD service name, as the
// print server writes for driverless queues.
bool isIppScheme(const std::string& scheme) {
    return scheme == "ipp" || scheme == "ipps" || scheme == "http" || scheme == "https";
}

// The types a vendor backend's zeroconf name is looked for under, the raw
// print service (whose port is the data port) first.
constexpr std::array<std::string_view, 3> kZeroconfTypes = {"_pdl-datastream._tcp", "_ipp._tcp",
                                                            "_printer._tcp"};

Classification resolvedService(const platform::ServiceInstance& instance,
                               const platform::ServiceResolver* resolver, std::string rule) {
    if (resolver == nullptr)
        return unreachable(std::move(rule), "DNS-SD names cannot be resolved here");
    platform::Resolution resolution = resolver->resolve(instance);
    if (!resolution.service)
        return unreachable(std::move(rule), resolution.problem);
    const platform::ResolvedService& service = *resolution.service;
    // A raw print service announces the data port; the others their own.
    std::optional<std::uint16_t> dataPort;
    if (instance.type == "_pdl-datastream._tcp")
        dataPort = service.port;
    std::optional<std::string> name = tcpIpPortName(service.address, dataPort);
    if (!name)
        return unreachable(std::move(rule),
                           "resolved to an address that cannot be used: " + service.address);
    return {PortType::TcpIp, {*name}, rule + ", resolved to " + service.hostName, {}};
}

// A host name or address with the data port it gives, if any. A name of the
// mDNS domain is looked up by the system when it can (an mDNS name-service
// module), else through the DNS-SD resolver.
Classification hostPort(std::string_view host, bool bracketed,
                        std::optional<std::uint16_t> dataPort, const PortSources& sources,
                        std::string rule) {
    std::optional<std::string> name = tcpIpPortName(host, dataPort);
    bool literal = host.find(':') != std::string_view::npos;
    if (!name || bracketed != literal)
        return notClassified("no usable host in the URI");
    if (!isLocalName(host) || resolveNetworkName(host))
        return {PortType::TcpIp, {*name}, std::move(rule), {}};
    if (sources.dnssd == nullptr)
        return unreachable(std::move(rule), "mDNS host names cannot be resolved here");
    platform::Resolution resolution = sources.dnssd->resolve({std::string(host), {}, {}});
    if (!resolution.service)
        return unreachable(std::move(rule), resolution.problem);
    const std::string& address = resolution.service->address;
    std::optional<std::string> resolved = tcpIpPortName(address, dataPort);
    if (!resolved)
        return unreachable(std::move(rule),
                           "resolved to an address that cannot be used: " + address);
    return {PortType::TcpIp, {*resolved}, rule + ", resolved to " + address, {}};
}

Classification network(const DeviceUri& uri, const PortSources& sources) {
    const std::string rule = uri.scheme + " URI";
    if (isIppScheme(uri.scheme)) {
        // Another print server's queue (or class) is not a printer: its jobs
        // go through that server, and its host is no printer to analyse.
        if (uri.path.starts_with("/printers/") || uri.path.starts_with("/classes/"))
            return notClassified("a queue of another print server, not a printer");
        if (std::optional<platform::ServiceInstance> instance = dnssdInstance(uri.host))
            return resolvedService(*instance, sources.dnssd, rule);
    }
    // Only a socket URI's port is the printer's data port; the others name
    // the port of their own protocol.
    std::optional<std::uint16_t> dataPort = uri.scheme == "socket" ? uri.port : std::nullopt;
    return hostPort(uri.host, uri.ipLiteral, dataPort, sources, rule);
}

std::optional<std::uint32_t> number(const std::string& text) {
    std::uint32_t value = 0;
    auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size())
        return std::nullopt;
    return value;
}

Classification usbMatch(const UsbPortTable::UriQuery& query, const UsbPortTable& table,
                        std::string rule) {
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
    if (names.size() > 1) {
        rule += ", ambiguous: " + std::to_string(names.size()) +
                " identical printers without serial numbers";
    }
    return {PortType::Usb, std::move(names), std::move(rule), {}};
}

Classification usb(const DeviceUri& uri, const UsbPortTable& table) {
    UsbPortTable::UriQuery query;
    query.make = uri.host;
    query.model = uri.path.substr(uri.path.empty() || uri.path.front() != '/' ? 0 : 1);
    query.serialNumber = queryValue(uri.query, "serial");
    query.interfaceNumber = number(queryValue(uri.query, "interface"));
    return usbMatch(
        query, table,
        query.serialNumber.empty() ? "usb URI, make and model" : "usb URI, serial number");
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
    return resolvedService(*instance, resolver, "dnssd URI");
}

// A maker's own backend: SCHEME:/net/MODEL?ip=ADDR (or hostname=NAME, or
// zc=NAME, the printer's zeroconf name) and SCHEME:/usb/MODEL?serial=S.
std::optional<Classification> vendorBackend(const DeviceUri& uri, const PortSources& sources) {
    if (uri.path.starts_with("/usb/")) {
        UsbPortTable::UriQuery query;
        query.model = uri.path.substr(5);
        query.serialNumber = queryValue(uri.query, "serial");
        if (query.serialNumber.empty())
            return notClassified("no serial number in the URI");
        return usbMatch(query, sources.usb, uri.scheme + " URI, USB form, serial number");
    }
    if (!uri.path.starts_with("/net/"))
        return std::nullopt;
    const std::string rule = uri.scheme + " URI, network form";
    for (const char* key : {"ip", "hostname"}) {
        std::string host = queryValue(uri.query, key);
        if (!host.empty()) {
            bool literal = host.find(':') != std::string::npos;
            return hostPort(host, literal, std::nullopt, sources, rule);
        }
    }
    std::string zeroconf = queryValue(uri.query, "zc");
    if (zeroconf.empty())
        return notClassified("no address in the URI");
    Classification last;
    for (std::string_view type : kZeroconfTypes) {
        last = resolvedService({zeroconf, std::string(type), "local"}, sources.dnssd, rule);
        if (!last.names.front().empty())
            return last;
    }
    return last;
}

bool isSchemeStart(std::string_view text) {
    std::size_t end = 0;
    while (end < text.size() && (std::isalnum(static_cast<unsigned char>(text[end])) ||
                                 text[end] == '+' || text[end] == '-' || text[end] == '.'))
        ++end;
    return end > 0 && std::isalpha(static_cast<unsigned char>(text[0])) && end + 1 < text.size() &&
           text[end] == ':' && text[end + 1] == '/';
}

// Each device URI that a wrapper backend carries after its own options
// ("beh:/1/3/5/socket://10.0.0.5:9100"), in order.
std::vector<std::string_view> wrappedUris(std::string_view uri) {
    std::vector<std::string_view> found;
    for (std::size_t i = uri.find(':') + 1; i < uri.size(); ++i) {
        if (uri[i - 1] == '/' && isSchemeStart(uri.substr(i)))
            found.push_back(uri.substr(i));
    }
    return found;
}

// A wrapper within a wrapper is followed, but not without end.
constexpr int kWrapperDepth = 3;

Classification classifyUri(std::string_view uri, const PortSources& sources, int depth) {
    std::optional<DeviceUri> parts = parseDeviceUri(uri);
    if (!parts)
        return notClassified("not a device URI");
    const std::string& scheme = parts->scheme;
    if (scheme == "socket" || scheme == "lpd" || scheme == "snmp" || isIppScheme(scheme))
        return network(*parts, sources);
    if (scheme == "usb")
        return usb(*parts, sources.usb);
    if (scheme == "parallel")
        return parallel(*parts);
    if (scheme == "dnssd")
        return dnssd(*parts, sources.dnssd);
    if (std::optional<Classification> vendor = vendorBackend(*parts, sources))
        return *vendor;
    if (depth < kWrapperDepth) {
        for (std::string_view inner : wrappedUris(uri)) {
            Classification wrapped = classifyUri(inner, sources, depth + 1);
            if (wrapped.classified()) {
                wrapped.rule = scheme + " wrapper, " + wrapped.rule;
                return wrapped;
            }
        }
    }
    return notClassified("no printer port of ours: " + scheme);
}

void collectLookups(std::string_view uri, std::vector<platform::ServiceInstance>& out, int depth) {
    std::optional<DeviceUri> parts = parseDeviceUri(uri);
    if (!parts)
        return;
    const std::string& scheme = parts->scheme;
    auto host = [&](const std::string& name) {
        if (isLocalName(name))
            out.push_back({name, {}, {}});
    };
    if (scheme == "dnssd" || isIppScheme(scheme)) {
        if (std::optional<platform::ServiceInstance> instance = dnssdInstance(parts->host)) {
            out.push_back(*instance);
            return;
        }
    }
    if (scheme == "socket" || scheme == "lpd" || scheme == "snmp" || isIppScheme(scheme)) {
        host(parts->host);
    } else if (parts->path.starts_with("/net/")) {
        host(queryValue(parts->query, "ip"));
        host(queryValue(parts->query, "hostname"));
        std::string zeroconf = queryValue(parts->query, "zc");
        for (std::string_view type : kZeroconfTypes) {
            if (!zeroconf.empty())
                out.push_back({zeroconf, std::string(type), "local"});
        }
    } else if (depth < kWrapperDepth && scheme != "usb" && scheme != "parallel") {
        for (std::string_view inner : wrappedUris(uri))
            collectLookups(inner, out, depth + 1);
    }
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
    return classifyUri(uri, sources, 0);
}

std::vector<platform::ServiceInstance> nameLookups(std::string_view uri) {
    std::vector<platform::ServiceInstance> lookups;
    collectLookups(uri, lookups, 0);
    return lookups;
}

}  // namespace upkeep::discovery
