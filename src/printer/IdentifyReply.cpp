#include "printer/IdentifyReply.h"

#include <string>

namespace upkeep {
namespace {

class Cursor {
  public:
    Cursor(const std::uint8_t* bytes, std::size_t length) : bytes_(bytes), length_(length) {}

    bool left() const { return pos_ < length_; }
    char current() const { return left() ? static_cast<char>(bytes_[pos_]) : '\0'; }
    void skipIf(char c) {
        if (left() && current() == c)
            ++pos_;
    }

    // Copies up to the first stop character (or the end of the bytes) into
    // the field, cutting what does not fit, and moves past the copied text.
    void copyUntil(ValueText* field, std::string_view stops) {
        std::size_t start = pos_;
        while (left() && stops.find(current()) == std::string_view::npos)
            ++pos_;
        if (field) {
            field->assign(
                std::string_view(reinterpret_cast<const char*>(bytes_) + start, pos_ - start));
        }
    }

  private:
    const std::uint8_t* bytes_;
    std::size_t length_;
    std::size_t pos_ = 0;
};

// NUL is a stop character for every copy; string_view literals with an
// embedded NUL keep it.
constexpr std::string_view kModelStops("\0,", 2);
constexpr std::string_view kSubModelStops("\0,;", 3);
constexpr std::string_view kSubVersionStops("\0,;\r\n", 5);

std::size_t readList(Cursor& cursor, std::array<ValueText, kMaxSubsystems>& slots,
                     std::string_view stops, bool stopAtLineEnd) {
    std::size_t count = 0;
    auto ends = [&] {
        char c = cursor.current();
        return c == '\0' || c == ';' || (stopAtLineEnd && (c == '\r' || c == '\n'));
    };
    while (cursor.left() && !ends()) {
        cursor.skipIf(',');
        cursor.copyUntil(count < kMaxSubsystems ? &slots[count] : nullptr, stops);
        ++count;
    }
    return count < kMaxSubsystems ? count : kMaxSubsystems;
}

}  // namespace

IdentifyReply parseIdentifyReply(const std::uint8_t* bytes, std::size_t length) {
    IdentifyReply reply;
    if (bytes == nullptr)
        return reply;
    Cursor cursor(bytes, length);
    cursor.copyUntil(&reply.model, kModelStops);
    std::size_t models = readList(cursor, reply.subsystemModels, kSubModelStops, false);
    cursor.skipIf(',');
    cursor.skipIf(';');
    cursor.copyUntil(&reply.version, kModelStops);
    std::size_t versions = readList(cursor, reply.subsystemVersions, kSubVersionStops, true);
    reply.subsystemCount = models > versions ? models : versions;
    return reply;
}

}  // namespace upkeep
