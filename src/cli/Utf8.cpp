#include "cli/Utf8.h"

#include <algorithm>
#include <iterator>

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

namespace {

struct Range {
    char32_t first, last;
};

// Combining marks, joiners and other characters a terminal draws over the
// one before: the blocks our languages and printers' texts use.
constexpr Range kZeroWidth[] = {
    {0x0300, 0x036F},   {0x0483, 0x0489}, {0x0591, 0x05BD}, {0x0610, 0x061A}, {0x064B, 0x065F},
    {0x0E31, 0x0E31},   {0x0E34, 0x0E3A}, {0x0E47, 0x0E4E}, {0x1160, 0x11FF}, {0x1AB0, 0x1AFF},
    {0x1DC0, 0x1DFF},   {0x200B, 0x200F}, {0x202A, 0x202E}, {0x2060, 0x2064}, {0x20D0, 0x20FF},
    {0x302A, 0x302F},   {0x3099, 0x309A}, {0xFE00, 0xFE0F}, {0xFE20, 0xFE2F}, {0xFEFF, 0xFEFF},
    {0xE0100, 0xE01EF},
};

// East Asian Wide and Fullwidth: Hangul, CJK, kana, fullwidth forms, and
// the pictographs terminals draw two columns wide.
constexpr Range kWide[] = {
    {0x1100, 0x115F},   {0x2E80, 0x303E},   {0x3041, 0x33FF},   {0x3400, 0x4DBF},
    {0x4E00, 0x9FFF},   {0xA000, 0xA4CF},   {0xA960, 0xA97F},   {0xAC00, 0xD7A3},
    {0xF900, 0xFAFF},   {0xFE10, 0xFE19},   {0xFE30, 0xFE6F},   {0xFF00, 0xFF60},
    {0xFFE0, 0xFFE6},   {0x1F300, 0x1F64F}, {0x1F900, 0x1F9FF}, {0x20000, 0x2FFFD},
    {0x30000, 0x3FFFD},
};

template <std::size_t N>
bool within(const Range (&ranges)[N], char32_t c) {
    auto it = std::upper_bound(std::begin(ranges), std::end(ranges), c,
                               [](char32_t value, const Range& r) { return value < r.first; });
    return it != std::begin(ranges) && c <= std::prev(it)->last;
}

char32_t decode(std::string_view bytes) {
    auto byte = [&](std::size_t k) {
        return static_cast<char32_t>(static_cast<unsigned char>(bytes[k]));
    };
    switch (bytes.size()) {
        case 1:
            return byte(0);
        case 2:
            return (byte(0) & 0x1F) << 6 | (byte(1) & 0x3F);
        case 3:
            return (byte(0) & 0x0F) << 12 | (byte(1) & 0x3F) << 6 | (byte(2) & 0x3F);
        default:
            return (byte(0) & 0x07) << 18 | (byte(1) & 0x3F) << 12 | (byte(2) & 0x3F) << 6 |
                   (byte(3) & 0x3F);
    }
}

}  // namespace

std::size_t displayWidth(std::string_view text) {
    std::size_t width = 0;
    for (std::size_t i = 0; i < text.size();) {
        const Utf8Piece piece = utf8Piece(text, i);
        if (!piece.valid) {
            ++width;
        } else {
            const char32_t c = decode(text.substr(i, piece.length));
            width += within(kZeroWidth, c) ? 0 : within(kWide, c) ? 2 : 1;
        }
        i += piece.length;
    }
    return width;
}

}  // namespace upkeep::cli
