#pragma once
// Printers and files are not bound to UTF-8: what the tool prints finds
// out here which bytes form well-formed characters.

#include <cstddef>
#include <string_view>

namespace upkeep::cli {

struct Utf8Piece {
    std::size_t length = 0;  // at least 1 inside the text
    bool valid = false;
};

// The piece of text that starts at text[i]: a well-formed sequence, or else
// the longest start of one that breaks off there (a lone byte at least),
// which a reader shows as one U+FFFD. Lead bytes C0, C1 and F5 to FF,
// overlong forms, surrogates and values past U+10FFFF are never well-formed.
Utf8Piece utf8Piece(std::string_view text, std::size_t i);

// The columns a terminal gives the text: wide East Asian characters take
// two, combining marks and zero-width characters none, anything else one
// (a broken piece too, as the U+FFFD it is shown as).
std::size_t displayWidth(std::string_view text);

}  // namespace upkeep::cli
