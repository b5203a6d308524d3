#pragma once
// The parts of a spooler's device URI that discovery looks at.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace upkeep::discovery {

// Percent-escapes decoded.
struct DeviceUri {
    std::string scheme;      // lower case
    std::string host;        // without user, brackets or port number
    bool ipLiteral = false;  // the host was written in brackets ("[::1]")
    std::optional<std::uint16_t> port;
    std::string path;  // from the first "/" after the host, without the query
    std::string query;
};

// None for a text that is no URI, a broken or NUL escape, an unclosed
// bracket, or a port that is not a number from 1 to 65535: a port read
// wrongly would name another printer.
std::optional<DeviceUri> parseDeviceUri(std::string_view uri);

// Percent-escapes decoded; none for a broken escape or an escaped NUL.
std::optional<std::string> percentDecode(std::string_view text);

// The decoded value of one "key=value" of a query ("a=1&b=2"); empty when
// the key is missing or its value is broken.
std::string queryValue(std::string_view query, std::string_view key);

}  // namespace upkeep::discovery
