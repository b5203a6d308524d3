#pragma once
// The system's UTF-16 texts as the UTF-8 the rest of the program uses.

#include <windows.h>

#include <cstddef>
#include <cwchar>
#include <string>

namespace upkeep::platform {

// The first `length` UTF-16 units of `text`; "" for none or on an error.
inline std::string narrow(const wchar_t* text, std::size_t length) {
    if (text == nullptr || length == 0)
        return {};
    const int units = static_cast<int>(length);
    const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, units, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return {};
    std::string out(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text, units, out.data(), size, nullptr, nullptr);
    return out;
}

// A zero-ended UTF-16 text.
inline std::string narrow(const wchar_t* text) {
    return text ? narrow(text, std::wcslen(text)) : std::string();
}

}  // namespace upkeep::platform
