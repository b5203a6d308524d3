#include "discovery/ClassifyPort.h"

#include "discovery/PortMonitors.h"

namespace upkeep::discovery {
namespace {

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Percent-escapes decoded; none for a broken escape or an escaped NUL.
std::optional<std::string> decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = hexValue(text[i + 1]);
        int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

// The value of one "key=value" of a query ("a=1&b=2"), decoded.
std::string queryValue(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        std::size_t end = query.find('&');
        std::string_view pair = query.substr(0, end);
        std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == key)
            return decode(pair.substr(equals + 1)).value_or("");
        if (end == std::string_view::npos)
            break;
        query.remove_prefix(end + 1);
    }
    return {};
}

bool set(PortDescriptor& descriptor, std::string_view name, PortType type) {
    descriptor.setName(name);
    descriptor.setPortType(type);
    return true;
}

}  // namespace

std::optional<DeviceUri> parseDeviceUri(std::string_view uri) {
    std::size_t colon = uri.find(':');
    if (colon == std::string_view::npos || colon == 0)
        return std::nullopt;
    DeviceUri parts;
    for (char c : uri.substr(0, colon)) {
        bool allowed = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                       c == '+' || c == '-' || c == '.';
        if (!allowed)
            return std::nullopt;
        parts.scheme += lowerAscii(c);
    }
    std::string_view rest = uri.substr(colon + 1);
    std::size_t hash = rest.find('#');
    rest = rest.substr(0, hash);
    std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        parts.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (startsWith(rest, "//")) {
        rest.remove_prefix(2);
        std::size_t slash = rest.find('/');
        std::string_view authority = rest.substr(0, slash);
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
        std::size_t at = authority.rfind('@');
        if (at != std::string_view::npos)
            authority.remove_prefix(at + 1);
        std::string_view host;
        if (startsWith(authority, "[")) {
            std::size_t close = authority.find(']');
            if (close == std::string_view::npos)
                return std::nullopt;
            host = authority.substr(1, close - 1);
        } else {
            host = authority.substr(0, authority.find(':'));
        }
        std::optional<std::string> decoded = decode(host);
        if (!decoded)
            return std::nullopt;
        parts.host = std::move(*decoded);
    }
    std::optional<std::string> path = decode(rest);
    if (!path)
        return std::nullopt;
    parts.path = std::move(*path);
    return parts;
}

bool classifyDeviceUri(std::string_view uri, PortDescriptor& descriptor, const UsbPortTable& usb) {
    std::optional<DeviceUri> parts = parseDeviceUri(uri);
    if (!parts)
        return false;
    const std::string& scheme = parts->scheme;
    if (scheme == "socket" || scheme == "lpd" || scheme == "ipp" || scheme == "ipps" ||
        scheme == "http" || scheme == "https") {
        if (parts->host.empty() || parts->host.size() > PortDescriptor::Text::kCapacity)
            return false;
        return set(descriptor, parts->host, PortType::TcpIp);
    }
    if (scheme == "usb") {
        // usb://MAKE/MODEL?serial=NUMBER
        std::string_view model = parts->path;
        if (startsWith(model, "/"))
            model.remove_prefix(1);
        std::optional<std::string> path =
            usb.lookupSerial(queryValue(parts->query, "serial"), model);
        if (!path)
            return false;
        return set(descriptor, *path, PortType::Usb);
    }
    if (scheme == "parallel")
        return set(descriptor, uri, PortType::Parallel);
    return false;
}

bool classifyPort(std::string_view portName, PortDescriptor& descriptor,
                  const PortSources& sources) {
    if (startsWith(portName, "LPT"))
        return set(descriptor, portName, PortType::Parallel);

    if (std::optional<std::string> id = linkoraPort(sources.registry, portName)) {
        std::string_view text = *id;
        if (startsWith(text, "TCPIP,"))
            return set(descriptor, text.substr(6), PortType::TcpIp);
        if (startsWith(text, "IPX,"))
            return set(descriptor, text.substr(4), PortType::IpxSpx);
        if (std::optional<std::string> test = testPort(sources.registry, portName))
            return set(descriptor, *test, PortType::TcpIp);
        // A Linkora identifier in neither form names no transport we know.
        // The port is not taken by this rule; the rules below still get
        // their chance, so a port that only the Linkora monitor knows is
        // not listed (rather than listed with no way to reach it).
    }
    if (std::optional<std::string> host = standardTcpIpPort(sources.registry, portName))
        return set(descriptor, *host, PortType::TcpIp);
    if (std::optional<std::string> path = sources.usb.lookup(portName))
        return set(descriptor, *path, PortType::Usb);
    if (std::optional<std::string> address = standardIpxSpxPort(sources.registry, portName))
        return set(descriptor, *address, PortType::IpxSpx);
    if (std::optional<std::string> text = testPort(sources.registry, portName))
        return set(descriptor, *text, PortType::TcpIp);
    return classifyDeviceUri(portName, descriptor, sources.usb);
}

}  // namespace upkeep::discovery
