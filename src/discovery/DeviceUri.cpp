#include "discovery/DeviceUri.h"

#include "platform/AsciiText.h"

namespace upkeep::discovery {
namespace {

// "" is no port (the scheme's own); anything but 1..65535 is refused.
bool parsePort(std::string_view text, std::optional<std::uint16_t>& port) {
    if (text.empty())
        return true;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 65535)
            return false;
    }
    if (value == 0)
        return false;
    port = static_cast<std::uint16_t>(value);
    return true;
}

bool parseAuthority(std::string_view authority, DeviceUri& parts) {
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos)
        authority.remove_prefix(at + 1);
    std::string_view host;
    std::string_view rest;
    if (authority.starts_with("[")) {
        std::size_t close = authority.find(']');
        if (close == std::string_view::npos)
            return false;
        host = authority.substr(1, close - 1);
        rest = authority.substr(close + 1);
        parts.ipLiteral = true;
        if (!rest.empty() && rest.front() != ':')
            return false;
    } else {
        std::size_t colon = authority.find(':');
        host = authority.substr(0, colon);
        rest = colon == std::string_view::npos ? std::string_view() : authority.substr(colon);
    }
    if (!rest.empty() && !parsePort(rest.substr(1), parts.port))
        return false;
    std::optional<std::string> decoded = percentDecode(host);
    if (!decoded)
        return false;
    parts.host = std::move(*decoded);
    return true;
}

}  // namespace

std::optional<std::string> percentDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out += text[i];
            continue;
        }
        if (i + 2 >= text.size())
            return std::nullopt;
        int high = platform::hexDigitValue(text[i + 1]);
        int low = platform::hexDigitValue(text[i + 2]);
        if (high < 0 || low < 0 || (high == 0 && low == 0))
            return std::nullopt;
        out += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return out;
}

std::string queryValue(std::string_view query, std::string_view key) {
    while (!query.empty()) {
        std::size_t end = query.find('&');
        std::string_view pair = query.substr(0, end);
        std::size_t equals = pair.find('=');
        if (equals != std::string_view::npos && pair.substr(0, equals) == key)
            return percentDecode(pair.substr(equals + 1)).value_or("");
        if (end == std::string_view::npos)
            break;
        query.remove_prefix(end + 1);
    }
    return {};
}

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
        parts.scheme += platform::lowerAscii(c);
    }
    std::string_view rest = uri.substr(colon + 1);
    rest = rest.substr(0, rest.find('#'));
    std::size_t question = rest.find('?');
    if (question != std::string_view::npos) {
        parts.query = std::string(rest.substr(question + 1));
        rest = rest.substr(0, question);
    }
    if (rest.starts_with("//")) {
        rest.remove_prefix(2);
        std::size_t slash = rest.find('/');
        if (!parseAuthority(rest.substr(0, slash), parts))
            return std::nullopt;
        rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    }
    std::optional<std::string> path = percentDecode(rest);
    if (!path)
        return std::nullopt;
    parts.path = std::move(*path);
    return parts;
}

}  // namespace upkeep::discovery
