#include "package/Sha256Sums.h"

namespace upkeep {
namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// Why a listed name cannot name a file of the package, or nothing. The
// name is taken as it stands: sha256sum escapes odd names with a leading
// backslash, which is refused rather than decoded.
std::optional<std::string> nameProblem(std::string_view name) {
    if (name.empty())
        return "no file name";
    if (name.size() > Sha256Sums::kMaxName)
        return "file name too long";
    if (name.front() == '/')
        return "absolute path";
    if (name.front() == '\\')
        return "escaped file name";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f)
            return "control character in file name";
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find('/', start);
        if (end == std::string_view::npos)
            end = name.size();
        std::string_view part = name.substr(start, end - start);
        if (part.empty() || part == "." || part == "..")
            return "file name with an empty, \".\" or \"..\" part";
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace

const Sha256* Sha256Sums::find(std::string_view name) const {
    auto it = files.find(name);
    return it == files.end() ? nullptr : &it->second;
}

std::string toHex(const Sha256& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out;
    out.reserve(digest.size() * 2);
    for (std::uint8_t byte : digest) {
        out += kDigits[byte >> 4];
        out += kDigits[byte & 0x0f];
    }
    return out;
}

std::optional<Sha256Sums> parseSha256Sums(std::string_view text, std::string& problem) {
    if (text.size() > Sha256Sums::kMaxSize) {
        problem = "larger than " + std::to_string(Sha256Sums::kMaxSize) + " bytes";
        return std::nullopt;
    }
    if (text.find('\0') != std::string_view::npos) {
        problem = "holds a zero byte";
        return std::nullopt;
    }
    if (text.empty()) {
        problem = "lists no file";
        return std::nullopt;
    }
    if (text.back() != '\n') {
        problem = "does not end with a line end";
        return std::nullopt;
    }
    Sha256Sums sums;
    std::size_t lineNumber = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        ++lineNumber;
        const std::size_t end = text.find('\n', start);
        std::string_view line = text.substr(start, end - start);
        start = end + 1;
        auto refuse = [&](const std::string& why) {
            problem = "line " + std::to_string(lineNumber) + ": " + why;
            return std::nullopt;
        };
        // 64 hex digits, a space, then ' ' (text) or '*' (binary), the name.
        if (line.size() < 67)
            return refuse("not \"SHA-256  NAME\"");
        Sha256 digest{};
        for (std::size_t i = 0; i < 32; ++i) {
            const int high = hexValue(line[2 * i]);
            const int low = hexValue(line[2 * i + 1]);
            if (high < 0 || low < 0)
                return refuse("not 64 hexadecimal digits");
            digest[i] = static_cast<std::uint8_t>(high << 4 | low);
        }
        if (line[64] != ' ' || (line[65] != ' ' && line[65] != '*'))
            return refuse("not \"SHA-256  NAME\"");
        const std::string_view name = line.substr(66);
        if (auto why = nameProblem(name))
            return refuse(*why);
        if (sums.files.size() >= Sha256Sums::kMaxFiles)
            return refuse("more than " + std::to_string(Sha256Sums::kMaxFiles) + " files");
        if (!sums.files.emplace(std::string(name), digest).second)
            return refuse("file listed twice");
    }
    return sums;
}

}  // namespace upkeep
