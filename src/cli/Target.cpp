#include "cli/Target.h"
#include "cli/Texts.h"

#include "connection/ParallelConnection.h"
#include "discovery/FindPrinters.h"

#include <sys/stat.h>

#include "platform/Socket.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <string_view>

namespace upkeep::cli {
namespace {

bool isDottedQuad(std::string_view text) {
    int parts = 0;
    std::size_t pos = 0;
    while (parts < 4) {
        if (parts > 0) {
            if (pos >= text.size() || text[pos] != '.')
                return false;
            ++pos;
        }
        std::size_t start = pos;
        int value = 0;
        while (pos < text.size() && pos - start < 3 &&
               std::isdigit(static_cast<unsigned char>(text[pos])))
            value = value * 10 + (text[pos++] - '0');
        if (pos == start || value > 255)
            return false;
        ++parts;
    }
    return pos == text.size();
}

bool isHex(std::string_view text, std::size_t digits) {
    return text.size() == digits &&
           text.find_first_not_of("0123456789abcdefABCDEF") == std::string_view::npos;
}

// NET.NODE exactly: the connection's own reading would take "zz" or a
// partial address for some other node.
bool isIpxAddress(std::string_view text) {
    std::size_t dot = text.find('.');
    return dot != std::string_view::npos && isHex(text.substr(0, dot), 8) &&
           isHex(text.substr(dot + 1), 12);
}

bool isHostName(std::string_view text) {
    if (text.empty() || !std::isalpha(static_cast<unsigned char>(text.front())))
        return false;
    for (char c : text) {
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '-' && c != '.')
            return false;
    }
    return true;
}

bool isIpv6(std::string_view text) {
    in6_addr address{};
    return inet_pton(AF_INET6, std::string(text).c_str(), &address) == 1;
}

// 1 to 65535 in plain digits: anything else would be read as another port.
bool isPort(std::string_view text) {
    if (text.empty() || text.size() > 5 ||
        !std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; }))
        return false;
    unsigned value = 0;
    for (char c : text)
        value = value * 10 + static_cast<unsigned>(c - '0');
    return value >= 1 && value <= 65535;
}

bool isHost(std::string_view text) {
    return isDottedQuad(text) || isHostName(text);
}

// HOST, HOST:PORT, an IPv6 address bare ("::1"), [IPV6] or [IPV6]:PORT.
bool isNetworkTarget(std::string_view text) {
    if (text.size() > 255)
        return false;
    if (!text.empty() && text.front() == '[') {
        std::size_t close = text.find(']');
        if (close == std::string_view::npos || !isIpv6(text.substr(1, close - 1)))
            return false;
        std::string_view rest = text.substr(close + 1);
        return rest.empty() || (rest.front() == ':' && isPort(rest.substr(1)));
    }
    std::size_t colons = static_cast<std::size_t>(std::count(text.begin(), text.end(), ':'));
    if (colons >= 2)
        return isIpv6(text);
    if (colons == 1) {
        std::size_t colon = text.find(':');
        return isHost(text.substr(0, colon)) && isPort(text.substr(colon + 1));
    }
    return isHost(text);
}

}  // namespace

bool isNetworkAddress(const std::string& text) {
    return text.size() <= 255 && (isHost(text) || isIpv6(text));
}

std::optional<PortDescriptor> parseTarget(const std::string& target) {
    auto after = [&](std::string_view prefix) { return target.substr(prefix.size()); };
    if (target.rfind("ipx:", 0) == 0) {
        if (!isIpxAddress(after("ipx:")))
            return std::nullopt;
        return PortDescriptor(after("ipx:"), PortType::IpxSpx, channel::kUnset);
    }
    if (target.rfind("usb:", 0) == 0) {
        // A path cut to fit the port name would be another path.
        const std::string path = after("usb:");
        if (path.empty() || !PortDescriptor::fits(path))
            return std::nullopt;
        return PortDescriptor(path, PortType::Usb, channel::kUnset);
    }
    if (target == "lpt:" || target == "lpt:1") {
        if (ParallelConnection::deviceProblem(ParallelConnection::devicePath()))
            return std::nullopt;
        return PortDescriptor("LPT1:", PortType::Parallel, channel::kUnset);
    }
    if (target.rfind("lpt:/", 0) == 0) {
        // One parallel device by its path, taken whole or not at all.
        const std::string path = after("lpt:");
        if (!PortDescriptor::fits(path) || ParallelConnection::deviceProblem(path))
            return std::nullopt;
        return PortDescriptor(path, PortType::Parallel, channel::kUnset);
    }
    // "lpt:2" is no host "lpt" on port 2.
    if (target.rfind("lpt:", 0) == 0 || !isNetworkTarget(target))
        return std::nullopt;
    return PortDescriptor(target, PortType::TcpIp, channel::kUnset);
}

std::optional<PortDescriptor> resolveTarget(const std::string& target) {
    const bool literal = target.find(':') != std::string::npos || isDottedQuad(target) ||
                         (!target.empty() && target.front() == '[');
    if (!literal && !target.empty()) {
        if (auto queue = discovery::findSystemQueue(target))
            return queue;
    }
    return parseTarget(target);
}

std::string targetError(const std::string& target) {
    if (target.rfind("lpt:", 0) == 0) {
        const bool named = target.rfind("lpt:/", 0) == 0;
        if (auto problem = ParallelConnection::deviceProblem(
                named ? target.substr(4) : ParallelConnection::devicePath()))
            return *problem;
    }
    return message(text::kNotAnAddress, {target});
}

std::optional<std::string> missingPort(const PortDescriptor& port) {
    if (port.portType() != PortType::Parallel)
        return std::nullopt;
    const std::string name = port.name().str();
    const std::string path = name.starts_with('/') ? name : ParallelConnection::devicePath();
    // Only an absent device: one the user may not open says so when opened.
    struct stat status {};
    if (::stat(path.c_str(), &status) == 0 || errno != ENOENT)
        return std::nullopt;
    return english(text::kNoParallelPort, {path});
}

}  // namespace upkeep::cli
