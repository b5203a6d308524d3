#pragma once
// A text field of fixed capacity, as the program's records keep them: it
// stores at most Size - 1 characters and cuts anything longer, so it can
// never be overrun.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>

namespace upkeep {

template <std::size_t Size>
class FixedText {
    static_assert(Size >= 1);

  public:
    static constexpr std::size_t kCapacity = Size - 1;

    FixedText() { data_[0] = '\0'; }
    FixedText(std::string_view text) { assign(text); }  // NOLINT: implicit by design
    FixedText(const char* text) { assign(text ? std::string_view(text) : std::string_view()); }

    // Stores the text up to its first NUL, cut to the capacity.
    void assign(std::string_view text) {
        std::size_t nul = text.find('\0');
        if (nul != std::string_view::npos)
            text = text.substr(0, nul);
        length_ = std::min(text.size(), kCapacity);
        // An empty view may carry a null pointer, which memcpy must not see.
        if (length_ > 0)
            std::memcpy(data_.data(), text.data(), length_);
        data_[length_] = '\0';
    }
    FixedText& operator=(std::string_view text) {
        assign(text);
        return *this;
    }
    FixedText& operator=(const char* text) {
        assign(text ? std::string_view(text) : std::string_view());
        return *this;
    }

    void clear() { assign({}); }
    bool empty() const { return length_ == 0; }
    std::size_t size() const { return length_; }
    const char* c_str() const { return data_.data(); }
    std::string_view view() const { return {data_.data(), length_}; }
    std::string str() const { return std::string(view()); }
    operator std::string_view() const { return view(); }  // NOLINT: implicit by design

    friend bool operator==(const FixedText& a, const FixedText& b) { return a.view() == b.view(); }
    friend bool operator==(const FixedText& a, std::string_view b) { return a.view() == b; }

  private:
    std::array<char, Size> data_{};
    std::size_t length_ = 0;
};

}  // namespace upkeep
