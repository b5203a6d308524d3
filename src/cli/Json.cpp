#include "cli/Json.h"

#include <cstdio>

#include "cli/Utf8.h"

namespace upkeep::cli {

std::string jsonString(std::string_view text) {
    std::string out = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c >= 0x80) {
            // A script's parser rejects anything but UTF-8: what does not
            // form a well-formed sequence becomes U+FFFD.
            Utf8Piece piece = utf8Piece(text, i);
            if (piece.valid) {
                out.append(text.substr(i, piece.length));
            } else {
                out += "\xEF\xBF\xBD";
            }
            i += piece.length - 1;
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
                if (c < 0x20 || c == 0x7F) {
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
