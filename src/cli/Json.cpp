#include "cli/Json.h"

#include <cstdio>

namespace upkeep::cli {

namespace {

// Length of the well-formed UTF-8 sequence at text[i], or 0.
std::size_t utf8Length(std::string_view text, std::size_t i) {
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    unsigned char lead = byte(i);
    std::size_t n = lead >= 0xF0 && lead <= 0xF4  ? 4
                    : lead >= 0xE0                ? 3
                    : lead >= 0xC2 && lead < 0xE0 ? 2
                                                  : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    for (std::size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
    }
    // Overlong three- and four-byte forms, surrogates and values past U+10FFFF.
    if (lead == 0xE0 && byte(i + 1) < 0xA0)
        return 0;
    if (lead == 0xED && byte(i + 1) >= 0xA0)
        return 0;
    if (lead == 0xF0 && byte(i + 1) < 0x90)
        return 0;
    if (lead == 0xF4 && byte(i + 1) >= 0x90)
        return 0;
    return n;
}

}  // namespace

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // Printers and files are not bound to UTF-8: a byte that does not
            // start a valid sequence is taken as the Latin-1 character.
            std::size_t n = utf8Length(text, i);
            if (n > 0) {
                out.append(text.substr(i, n));
                i += n - 1;
            } else {
                char escape[8];
                std::snprintf(escape, sizeof escape, "\\u%04x", c);
                out += escape;
            }
            continue;
        }
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (c < 0x20) {
                    char escape[8];
                    std::snprintf(escape, sizeof escape, "\\u%04x", c);
                    out += escape;
                } else {
                    out += static_cast<char>(c);
                }
        }
    }
    out += '"';
    return out;
}

}  // namespace upkeep::cli
