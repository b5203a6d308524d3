#include "Ber.h"

namespace upkeep::sim::ber {

std::optional<Tlv> Reader::next() {
    if (rest_.size() < 2)
        return std::nullopt;
    const auto tag = static_cast<std::uint8_t>(rest_[0]);
    if ((tag & 0x1F) == 0x1F)  // multi-byte tags are not used by SNMP
        return std::nullopt;
    std::size_t pos = 1;
    std::size_t length = static_cast<std::uint8_t>(rest_[pos++]);
    if (length & 0x80) {
        const std::size_t octets = length & 0x7F;
        if (octets == 0 || octets > 4 || rest_.size() - pos < octets)
            return std::nullopt;  // indefinite or absurd lengths
        length = 0;
        for (std::size_t i = 0; i < octets; ++i)
            length = (length << 8) | static_cast<std::uint8_t>(rest_[pos++]);
    }
    if (rest_.size() - pos < length)
        return std::nullopt;
    Tlv tlv;
    tlv.tag = tag;
    tlv.content = rest_.substr(pos, length);
    tlv.whole = rest_.substr(0, pos + length);
    rest_.remove_prefix(pos + length);
    return tlv;
}

std::optional<std::int64_t> decodeInteger(std::string_view content) {
    if (content.empty() || content.size() > 8)
        return std::nullopt;
    std::uint64_t value = (static_cast<std::uint8_t>(content[0]) & 0x80) ? ~std::uint64_t{0} : 0;
    for (char c : content)
        value = (value << 8) | static_cast<std::uint8_t>(c);
    return static_cast<std::int64_t>(value);
}

std::optional<std::string> decodeOid(std::string_view content) {
    if (content.empty())
        return std::nullopt;
    std::vector<std::uint64_t> arcs;
    std::uint64_t value = 0;
    bool pending = false;
    for (char c : content) {
        const auto b = static_cast<std::uint8_t>(c);
        if (value > (std::uint64_t{1} << 56))
            return std::nullopt;
        value = (value << 7) | (b & 0x7F);
        pending = true;
        if (!(b & 0x80)) {
            if (arcs.empty()) {
                const std::uint64_t first = value < 80 ? value / 40 : 2;
                arcs.push_back(first);
                arcs.push_back(value - first * 40);
            } else {
                arcs.push_back(value);
            }
            value = 0;
            pending = false;
        }
    }
    if (pending)
        return std::nullopt;  // the last arc did not end
    std::string text;
    for (std::size_t i = 0; i < arcs.size(); ++i) {
        if (i)
            text += '.';
        text += std::to_string(arcs[i]);
    }
    return text;
}

std::string encodeLength(std::size_t length) {
    if (length < 0x80)
        return std::string(1, static_cast<char>(length));
    std::string octets;
    while (length) {
        octets.insert(octets.begin(), static_cast<char>(length & 0xFF));
        length >>= 8;
    }
    return std::string(1, static_cast<char>(0x80 | octets.size())) + octets;
}

std::string encode(std::uint8_t tag, std::string_view content) {
    std::string out(1, static_cast<char>(tag));
    out += encodeLength(content.size());
    out += content;
    return out;
}

std::string encodeInteger(std::int64_t value) {
    std::string content;
    auto u = static_cast<std::uint64_t>(value);
    for (int i = 7; i >= 0; --i)
        content += static_cast<char>((u >> (i * 8)) & 0xFF);
    // Drop leading octets that only repeat the sign.
    while (content.size() > 1) {
        const auto first = static_cast<std::uint8_t>(content[0]);
        const auto second = static_cast<std::uint8_t>(content[1]);
        if ((first == 0x00 && !(second & 0x80)) || (first == 0xFF && (second & 0x80)))
            content.erase(0, 1);
        else
            break;
    }
    return encode(kInteger, content);
}

std::optional<std::string> encodeOid(std::string_view dotted) {
    std::vector<std::uint64_t> arcs;
    std::uint64_t value = 0;
    bool digits = false;
    for (std::size_t i = 0; i <= dotted.size(); ++i) {
        if (i == dotted.size() || dotted[i] == '.') {
            if (!digits)
                return std::nullopt;
            arcs.push_back(value);
            value = 0;
            digits = false;
        } else if (dotted[i] >= '0' && dotted[i] <= '9') {
            if (value > 0xFFFFFFFFu)
                return std::nullopt;
            value = value * 10 + static_cast<std::uint64_t>(dotted[i] - '0');
            digits = true;
        } else {
            return std::nullopt;
        }
    }
    if (arcs.size() < 2 || arcs[0] > 2 || (arcs[0] < 2 && arcs[1] >= 40))
        return std::nullopt;
    std::string content;
    auto put = [&content](std::uint64_t arc) {
        std::string chunk(1, static_cast<char>(arc & 0x7F));
        arc >>= 7;
        while (arc) {
            chunk.insert(chunk.begin(), static_cast<char>(0x80 | (arc & 0x7F)));
            arc >>= 7;
        }
        content += chunk;
    };
    put(arcs[0] * 40 + arcs[1]);
    for (std::size_t i = 2; i < arcs.size(); ++i)
        put(arcs[i]);
    return encode(kOid, content);
}

}  // namespace upkeep::sim::ber
