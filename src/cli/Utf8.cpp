#include "cli/Utf8.h"

namespace upkeep::cli {

Utf8Piece utf8Piece(std::string_view text, std::size_t i) {
    if (i >= text.size())
        return {};
    auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    if (lead < 0x80)
        return {1, true};
    // The length the lead byte announces and the range of the byte after
    // it; the bytes after that are plain continuation bytes.
    std::size_t n = 0;
    unsigned char low = 0x80, high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        n = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        n = 3;
        if (lead == 0xE0)
            low = 0xA0;  // overlong below
        if (lead == 0xED)
            high = 0x9F;  // surrogates above
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        n = 4;
        if (lead == 0xF0)
            low = 0x90;  // overlong below
        if (lead == 0xF4)
            high = 0x8F;  // past U+10FFFF above
    }
    if (n == 0)
        return {1, false};
    std::size_t k = 1;
    while (k < n && i + k < text.size()) {
        unsigned char next = byte(i + k);
        bool fits = k == 1 ? (next >= low && next <= high) : (next & 0xC0) == 0x80;
        if (!fits)
            break;
        ++k;
    }
    return {k, k == n};
}

}  // namespace upkeep::cli
