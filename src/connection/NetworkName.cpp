#include "connection/NetworkName.h"

#ifndef _WIN32
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#endif

#include <algorithm>
#include <cctype>
#include <cstring>

namespace upkeep {
namespace {

// Reads one "%d" the way the C library does: blanks, a sign, digits.
bool readDecimal(std::string_view text, std::size_t& pos, long long& value) {
    while (pos < text.size() && std::isspace(static_cast<unsigned char>(text[pos])))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }
    std::size_t start = pos;
    long long number = 0;
    while (pos < text.size() && std::isdigit(static_cast<unsigned char>(text[pos]))) {
        // Only the low eight bits are kept, so wrapping early changes nothing.
        number = (number * 10 + (text[pos] - '0')) % 65536;
        ++pos;
    }
    if (pos == start)
        return false;
    value = negative ? -number : number;
    return true;
}

std::optional<NetworkName> fromIpv4(const std::uint8_t (&bytes)[4]) {
    NetworkName name;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    std::memcpy(&address.sin_addr.s_addr, bytes, 4);
    std::memcpy(&name.address, &address, sizeof address);
    name.length = sizeof address;
    return name;
}

std::optional<NetworkName> parseDotted(std::string_view text) {
    std::uint8_t bytes[4];
    std::size_t pos = 0;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return std::nullopt;
            ++pos;
        }
        long long number = 0;
        if (!readDecimal(text, pos, number))
            return std::nullopt;
        bytes[i] = static_cast<std::uint8_t>(number & 0xff);
    }
    return fromIpv4(bytes);
}

// The first address getaddrinfo gives for `text`.
std::optional<NetworkName> firstAddress(const std::string& text, int family, int flags) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = flags;
    addrinfo* result = nullptr;
    if (!platform::startSockets())
        return std::nullopt;
    if (::getaddrinfo(text.c_str(), nullptr, &hints, &result) != 0 || result == nullptr)
        return std::nullopt;
    std::optional<NetworkName> name;
    if (result->ai_addrlen <= sizeof(sockaddr_storage) &&
        (result->ai_family == AF_INET || result->ai_family == AF_INET6)) {
        name.emplace();
        std::memcpy(&name->address, result->ai_addr, result->ai_addrlen);
        name->length = static_cast<socklen_t>(result->ai_addrlen);
    }
    ::freeaddrinfo(result);
    return name;
}

// A numeric IPv6 address, with a zone ("fe80::1%eth0") where it has one:
// link-local printers found on the network come with theirs.
std::optional<NetworkName> parseIpv6(const std::string& text) {
    return firstAddress(text, AF_INET6, AI_NUMERICHOST);
}

std::optional<NetworkName> lookUpHost(const std::string& host) {
    return firstAddress(host, AF_UNSPEC, 0);
}

std::optional<std::uint16_t> parsePort(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return std::nullopt;
    unsigned value = 0;
    for (char c : text)
        value = value * 10 + static_cast<unsigned>(c - '0');
    if (value == 0 || value > 65535)
        return std::nullopt;
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::string NetworkName::text() const {
    char buffer[INET6_ADDRSTRLEN] = {};
    if (family() == AF_INET) {
        const auto* in = reinterpret_cast<const sockaddr_in*>(&address);
        ::inet_ntop(AF_INET, &in->sin_addr, buffer, sizeof buffer);
    } else if (family() == AF_INET6) {
        const auto* in6 = reinterpret_cast<const sockaddr_in6*>(&address);
        ::inet_ntop(AF_INET6, &in6->sin6_addr, buffer, sizeof buffer);
    }
    return buffer;
}

sockaddr_storage NetworkName::withPort(std::uint16_t value) const {
    sockaddr_storage result = address;
    if (family() == AF_INET)
        reinterpret_cast<sockaddr_in*>(&result)->sin_port = htons(value);
    else if (family() == AF_INET6)
        reinterpret_cast<sockaddr_in6*>(&result)->sin6_port = htons(value);
    return result;
}

std::optional<NetworkName> resolveNetworkName(std::string_view name) {
    if (name.empty())
        return std::nullopt;
    std::string_view host = name;
    std::optional<std::uint16_t> port;
    std::optional<NetworkName> resolved;
    if (name.front() == '[') {
        const std::size_t close = name.find(']');
        if (close == std::string_view::npos)
            return std::nullopt;
        std::string_view rest = name.substr(close + 1);
        if (!rest.empty()) {
            if (rest.front() != ':' || !(port = parsePort(rest.substr(1))))
                return std::nullopt;
        }
        resolved = parseIpv6(std::string(name.substr(1, close - 1)));
    } else if (std::count(name.begin(), name.end(), ':') >= 2) {
        resolved = parseIpv6(std::string(name));
    } else {
        if (const std::size_t colon = name.find(':'); colon != std::string_view::npos) {
            if (!(port = parsePort(name.substr(colon + 1))))
                return std::nullopt;
            host = name.substr(0, colon);
        }
        if (host.empty())
            return std::nullopt;
        if (std::isalpha(static_cast<unsigned char>(host.front())))
            resolved = lookUpHost(std::string(host));
        else
            resolved = parseDotted(host);
    }
    if (resolved)
        resolved->port = port;
    return resolved;
}

}  // namespace upkeep
