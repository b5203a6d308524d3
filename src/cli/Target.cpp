#include "cli/Target.h"

#include <cctype>
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

}  // namespace

bool isNetworkAddress(const std::string& text) {
    return text.size() <= 255 && (isDottedQuad(text) || isHostName(text));
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
        if (path.empty() || path.size() > PortDescriptor::Text::kCapacity ||
            path.find('\0') != std::string::npos)
            return std::nullopt;
        return PortDescriptor(path, PortType::Usb, channel::kUnset);
    }
    if (target == "lpt:" || target == "lpt:1")
        return PortDescriptor("LPT1:", PortType::Parallel, channel::kUnset);
    if (!isNetworkAddress(target))
        return std::nullopt;
    return PortDescriptor(target, PortType::TcpIp, channel::kUnset);
}

}  // namespace upkeep::cli
