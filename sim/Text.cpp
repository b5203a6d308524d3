#include "Text.h"

#include <algorithm>
#include <cctype>
#include <vector>

namespace upkeep::sim {

std::string trim(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && std::isspace(static_cast<unsigned char>(text[begin])))
        ++begin;
    while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1])))
        --end;
    return std::string(text.substr(begin, end - begin));
}

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

bool equalsIgnoreCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && lower(a) == lower(b);
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

std::string decodeEscapes(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const char c = text[++i];
        switch (c) {
            case 'n':
                out += '\n';
                break;
            case 'r':
                out += '\r';
                break;
            case 't':
                out += '\t';
                break;
            case 'f':
                out += '\f';
                break;
            case 'e':
                out += '\x1b';
                break;
            case '0':
                out += '\0';
                break;
            case 'x': {
                int value = 0;
                int digits = 0;
                while (digits < 2 && i + 1 < text.size() && hexValue(text[i + 1]) >= 0) {
                    value = value * 16 + hexValue(text[++i]);
                    ++digits;
                }
                if (digits == 0)
                    out += 'x';
                else
                    out += static_cast<char>(value);
                break;
            }
            default:
                out += c;
                break;
        }
    }
    return out;
}

std::optional<std::string> decodeHex(std::string_view text) {
    std::string digits;
    for (char c : text) {
        if (std::isspace(static_cast<unsigned char>(c)))
            continue;
        if (hexValue(c) < 0)
            return std::nullopt;
        digits += c;
    }
    if (digits.size() % 2 != 0)
        return std::nullopt;
    std::string out;
    for (std::size_t i = 0; i < digits.size(); i += 2)
        out += static_cast<char>(hexValue(digits[i]) * 16 + hexValue(digits[i + 1]));
    return out;
}

std::optional<std::uint64_t> parseUnsigned(std::string_view text) {
    if (text.empty() || text.size() > 18)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    return value;
}

namespace {

std::optional<std::vector<std::uint64_t>> numericParts(std::string_view text) {
    std::vector<std::uint64_t> parts;
    std::size_t start = 0;
    while (true) {
        const std::size_t dot = text.find('.', start);
        const auto part = parseUnsigned(text.substr(start, dot - start));
        if (!part)
            return std::nullopt;
        parts.push_back(*part);
        if (dot == std::string_view::npos)
            return parts;
        start = dot + 1;
    }
}

}  // namespace

int compareVersions(std::string_view a, std::string_view b) {
    auto pa = numericParts(a);
    auto pb = numericParts(b);
    if (pa && pb) {
        const std::size_t n = std::max(pa->size(), pb->size());
        pa->resize(n, 0);
        pb->resize(n, 0);
        for (std::size_t i = 0; i < n; ++i) {
            if ((*pa)[i] != (*pb)[i])
                return (*pa)[i] < (*pb)[i] ? -1 : 1;
        }
        return 0;
    }
    const std::string la = lower(a);
    const std::string lb = lower(b);
    return la < lb ? -1 : (la == lb ? 0 : 1);
}

}  // namespace upkeep::sim
