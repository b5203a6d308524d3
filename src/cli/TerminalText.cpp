#include "cli/TerminalText.h"

#include <algorithm>
#include <cstdio>

#include "cli/Utf8.h"

namespace upkeep::cli {
namespace {

void appendEscaped(std::string& out, std::string_view bytes) {
    for (char c : bytes) {
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02x", static_cast<unsigned char>(c));
        out += escape;
    }
}

bool isControl(std::string_view piece) {
    auto first = static_cast<unsigned char>(piece[0]);
    if (piece.size() == 1)
        return first < 0x20 || first == 0x7F;
    // U+0080 to U+009F: some terminals act on these as on ESC sequences.
    return first == 0xC2 && static_cast<unsigned char>(piece[1]) < 0xA0;
}

}  // namespace

std::string terminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        Utf8Piece piece = utf8Piece(text, i);
        std::string_view bytes = text.substr(i, piece.length);
        if (piece.valid && !isControl(bytes)) {
            out += bytes;
        } else {
            appendEscaped(out, bytes);
        }
        i += piece.length;
    }
    return out;
}

std::string padded(std::string_view text, std::size_t width) {
    std::string out(text);
    const std::size_t used = displayWidth(text);
    if (used < width)
        out.append(width - used, ' ');
    return out;
}

std::string columns(const std::vector<std::vector<std::string>>& rows) {
    std::vector<std::size_t> widths;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i + 1 < row.size(); ++i) {
            widths.resize(std::max(widths.size(), i + 1));
            widths[i] = std::max(widths[i], displayWidth(row[i]));
        }
    }
    std::string out;
    for (const auto& row : rows) {
        for (std::size_t i = 0; i < row.size(); ++i) {
            out += row[i];
            if (i + 1 < row.size())
                out.append(widths[i] - displayWidth(row[i]) + 2, ' ');
        }
        out += '\n';
    }
    return out;
}

}  // namespace upkeep::cli
