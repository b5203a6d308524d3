#pragma once
// Letters and digits of ASCII, whatever the locale: names in settings,
// device URIs and addresses are ASCII, and a locale's idea of a letter must
// not change how they read.

#include <cstddef>
#include <string_view>

namespace upkeep::platform {

inline char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// 0..15, or -1 for a character that is no hexadecimal digit.
inline int hexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    c = lowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

// Equal but for the case of ASCII letters.
inline bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (lowerAscii(a[i]) != lowerAscii(b[i]))
            return false;
    }
    return true;
}

}  // namespace upkeep::platform
