#include "platform/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "platform/AsciiText.h"
#include "platform/FileFlags.h"
#include "platform/UniqueFd.h"

namespace upkeep::platform {
namespace {

using detail::RegistryData;
using detail::RegistryKeyData;

std::string lower(std::string_view text) {
    std::string out(text);
    for (char& c : out)
        c = lowerAscii(c);
    return out;
}

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

std::vector<std::string_view> splitPath(std::string_view path) {
    std::vector<std::string_view> parts;
    while (!path.empty()) {
        std::size_t cut = path.find('\\');
        std::string_view part = path.substr(0, cut);
        if (!part.empty())
            parts.push_back(part);
        if (cut == std::string_view::npos)
            break;
        path.remove_prefix(cut + 1);
    }
    return parts;
}

// Version 5.00 files are usually UTF-16LE; the settings we read are ASCII,
// so each 16-bit unit is narrowed ('?' for what does not fit a byte).
std::string decode(std::string_view raw) {
    if (raw.size() >= 2 && static_cast<unsigned char>(raw[0]) == 0xFF &&
        static_cast<unsigned char>(raw[1]) == 0xFE) {
        std::string out;
        out.reserve(raw.size() / 2);
        for (std::size_t i = 2; i + 1 < raw.size(); i += 2) {
            unsigned unit = static_cast<unsigned char>(raw[i]) |
                            (static_cast<unsigned>(static_cast<unsigned char>(raw[i + 1])) << 8);
            out += unit <= 0xFF ? static_cast<char>(unit) : '?';
        }
        return out;
    }
    if (raw.size() >= 3 && raw.substr(0, 3) == "\xEF\xBB\xBF")
        raw.remove_prefix(3);
    return std::string(raw);
}

// A quoted text at the start of input, with \\ and \" escapes. On success
// the input is advanced past the closing quote.
std::optional<std::string> takeQuoted(std::string_view& input) {
    if (input.empty() || input.front() != '"')
        return std::nullopt;
    std::string out;
    for (std::size_t i = 1; i < input.size(); ++i) {
        char c = input[i];
        if (c == '"') {
            input.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\' && i + 1 < input.size() && (input[i + 1] == '\\' || input[i + 1] == '"')) {
            out += input[++i];
            continue;
        }
        out += c;
    }
    return std::nullopt;  // no closing quote
}

std::optional<std::uint32_t> parseHexNumber(std::string_view text, std::size_t maxDigits) {
    if (text.empty() || text.size() > maxDigits)
        return std::nullopt;
    std::uint32_t value = 0;
    for (char c : text) {
        int digit = hexDigitValue(c);
        if (digit < 0)
            return std::nullopt;
        value = (value << 4) | static_cast<std::uint32_t>(digit);
    }
    return value;
}

// "aa,bb, cc" (an empty list is allowed).
std::optional<std::vector<std::uint8_t>> parseHexBytes(std::string_view text) {
    std::vector<std::uint8_t> bytes;
    text = trim(text);
    if (text.empty())
        return bytes;
    while (true) {
        std::size_t comma = text.find(',');
        std::optional<std::uint32_t> byte = parseHexNumber(trim(text.substr(0, comma)), 2);
        if (!byte)
            return std::nullopt;
        bytes.push_back(static_cast<std::uint8_t>(*byte));
        if (comma == std::string_view::npos)
            return bytes;
        text.remove_prefix(comma + 1);
    }
}

std::optional<RegistryValue> parseData(std::string_view text) {
    text = trim(text);
    RegistryValue value;
    if (!text.empty() && text.front() == '"') {
        std::optional<std::string> quoted = takeQuoted(text);
        if (!quoted || !trim(text).empty())
            return std::nullopt;
        value.type = regtype::kString;
        value.data.assign(quoted->begin(), quoted->end());
        value.data.push_back(0);
        return value;
    }
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    std::string_view kind = text.substr(0, colon);
    std::string_view rest = text.substr(colon + 1);
    if (equalsIgnoringCase(kind, "dword")) {
        std::optional<std::uint32_t> number = parseHexNumber(trim(rest), 8);
        if (!number)
            return std::nullopt;
        value.type = regtype::kDword;
        for (int shift = 0; shift < 32; shift += 8)
            value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
        return value;
    }
    if (equalsIgnoringCase(kind, "hex")) {
        value.type = regtype::kBinary;
    } else if (kind.size() > 5 && equalsIgnoringCase(kind.substr(0, 4), "hex(") &&
               kind.back() == ')') {
        std::optional<std::uint32_t> type = parseHexNumber(kind.substr(4, kind.size() - 5), 8);
        if (!type)
            return std::nullopt;
        value.type = *type;
    } else {
        return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> bytes = parseHexBytes(rest);
    if (!bytes)
        return std::nullopt;
    value.data = std::move(*bytes);
    return value;
}

class Parser {
  public:
    explicit Parser(RegistryData& data) : data_(data) {}

    void line(std::string_view text) {
        text = trim(text);
        if (text.empty() || text.front() == ';')
            return;
        if (text.front() == '[') {
            keyLine(text);
            return;
        }
        valueLine(text);
    }

  private:
    RegistryKeyData& ensureKey(const std::vector<std::string_view>& parts) {
        if (data_.keys.empty())
            data_.keys.push_back(std::make_unique<RegistryKeyData>());
        RegistryKeyData* parent = data_.keys.front().get();
        for (std::string_view part : parts) {
            auto [it, inserted] = parent->children.try_emplace(lower(part), nullptr);
            if (inserted) {
                data_.keys.push_back(std::make_unique<RegistryKeyData>());
                it->second = data_.keys.back().get();
                it->second->name = std::string(part);
                parent->subkeys.emplace_back(part);
            }
            parent = it->second;
        }
        return *parent;
    }

    void keyLine(std::string_view text) {
        current_ = nullptr;  // values after a key line we cannot use belong to no key
        if (text.back() != ']')
            return;
        text = text.substr(1, text.size() - 2);
        if (text.empty() || text.front() == '-')
            return;  // deleting keys has no meaning for a read-only store
        std::vector<std::string_view> parts = splitPath(text);
        if (parts.empty())
            return;
        if (!equalsIgnoringCase(parts.front(), "HKEY_LOCAL_MACHINE") &&
            !equalsIgnoringCase(parts.front(), "HKLM"))
            return;
        parts.erase(parts.begin());
        current_ = &ensureKey(parts);
    }

    void valueLine(std::string_view text) {
        if (current_ == nullptr)
            return;
        std::string name;
        if (text.front() == '@') {
            text.remove_prefix(1);
        } else {
            std::optional<std::string> quoted = takeQuoted(text);
            if (!quoted)
                return;
            name = std::move(*quoted);
        }
        text = trim(text);
        if (text.empty() || text.front() != '=')
            return;
        std::optional<RegistryValue> value = parseData(text.substr(1));
        if (!value)
            return;
        auto [it, inserted] = current_->values.insert_or_assign(lower(name), std::move(*value));
        if (inserted)
            current_->valueNames.push_back(std::move(name));
    }

    RegistryData& data_;
    RegistryKeyData* current_ = nullptr;
};

// The key at a path relative to `from`, or null.
const RegistryKeyData* walk(const RegistryKeyData* from, std::string_view path) {
    for (std::string_view part : splitPath(path)) {
        if (from == nullptr)
            return nullptr;
        auto it = from->children.find(lower(part));
        from = it == from->children.end() ? nullptr : it->second;
    }
    return from;
}

// Reads the whole file when it is a regular file within the limit. The type
// is checked on the open descriptor, so the file cannot be swapped for a
// pipe or a device between the check and the read; opening without waiting
// keeps a FIFO from holding the open up.
std::optional<std::string> readSettingsFile(const std::string& path, std::string* problem) {
    auto refuse = [&](const std::string& why) -> std::optional<std::string> {
        if (problem)
            *problem = why;
        return std::nullopt;
    };
    UniqueFd fd(::open(path.c_str(), kOpenReadNoWait));
    if (!fd.valid()) {
        if (errno == ENOENT || errno == ENOTDIR)
            return std::nullopt;
        return refuse(std::strerror(errno));
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0)
        return refuse(std::strerror(errno));
    if (!S_ISREG(info.st_mode))
        return refuse("not a regular file");
    if (static_cast<std::uint64_t>(info.st_size) > Registry::kFileLimit)
        return refuse("larger than 1 MiB");
    // Read to the end, not to the size first seen: a file that grew past the
    // limit meanwhile is refused all the same.
    std::string raw;
    raw.reserve(static_cast<std::size_t>(info.st_size));
    char chunk[16384];
    while (raw.size() <= Registry::kFileLimit) {
        ssize_t n = ::read(fd.get(), chunk, sizeof chunk);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return refuse(std::strerror(errno));
        if (n == 0)
            break;
        raw.append(chunk, static_cast<std::size_t>(n));
    }
    if (raw.size() > Registry::kFileLimit)
        return refuse("larger than 1 MiB");
    return raw;
}

}  // namespace

std::optional<RegistryKey> RegistryKey::openSubkey(std::string_view path) const {
    const RegistryKeyData* key = walk(key_, path);
    if (key == nullptr)
        return std::nullopt;
    return RegistryKey(data_, key);
}

std::optional<RegistryValue> RegistryKey::value(std::string_view name) const {
    auto it = key_->values.find(lower(name));
    if (it == key_->values.end())
        return std::nullopt;
    return it->second;
}

std::optional<std::vector<std::uint8_t>> RegistryKey::readBytes(std::string_view name,
                                                                std::size_t capacity) const {
    auto it = key_->values.find(lower(name));
    if (it == key_->values.end() || it->second.data.size() > capacity)
        return std::nullopt;
    return it->second.data;
}

std::optional<std::string> RegistryKey::readText(std::string_view name) const {
    auto it = key_->values.find(lower(name));
    if (it == key_->values.end())
        return std::nullopt;
    const RegistryValue& value = it->second;
    if (value.type != regtype::kString && value.type != regtype::kExpandString)
        return std::nullopt;
    std::string text(value.data.begin(), value.data.end());
    return text.substr(0, text.find('\0'));
}

std::optional<std::uint32_t> RegistryKey::readDword(std::string_view name) const {
    auto it = key_->values.find(lower(name));
    if (it == key_->values.end())
        return std::nullopt;
    const RegistryValue& value = it->second;
    if (value.type != regtype::kDword || value.data.size() != 4)
        return std::nullopt;
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = (number << 8) | value.data[static_cast<std::size_t>(i)];
    return number;
}

Registry::Registry() : data_(std::make_shared<const RegistryData>()) {}

std::string Registry::filePath() {
    const char* path = std::getenv(kPathVariable);
    return (path != nullptr && *path != '\0') ? std::string(path) : std::string(kDefaultPath);
}

Registry Registry::fromFile(const std::string& path, std::string* problem) {
    if (problem)
        problem->clear();
    std::optional<std::string> raw = readSettingsFile(path, problem);
    return raw ? fromText(*raw) : Registry();
}

Registry Registry::fromText(std::string_view raw) {
    auto data = std::make_shared<RegistryData>();
    std::string text = decode(raw);

    // Split into logical lines: a line ending in "\" continues (hex data).
    std::vector<std::string> lines;
    std::string pending;
    bool continuing = false;
    std::string_view rest = text;
    while (!rest.empty()) {
        std::size_t end = rest.find('\n');
        std::string_view physical = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        std::string_view trimmed = trim(physical);
        if (continuing) {
            pending += trimmed;
        } else {
            pending.assign(trimmed);
        }
        continuing = !pending.empty() && pending.back() == '\\' && pending.front() != '[';
        if (continuing) {
            pending.pop_back();
            continue;
        }
        lines.push_back(std::move(pending));
        pending.clear();
    }
    if (continuing)
        lines.push_back(std::move(pending));

    // The first line that is not blank must be the format's signature.
    std::size_t first = 0;
    while (first < lines.size() && lines[first].empty())
        ++first;
    if (first == lines.size() ||
        (lines[first] != "REGEDIT4" && lines[first] != "Windows Registry Editor Version 5.00"))
        return Registry();

    Parser parser(*data);
    for (std::size_t i = first + 1; i < lines.size(); ++i)
        parser.line(lines[i]);
    return Registry(std::move(data));
}

std::optional<RegistryKey> Registry::openKey(std::string_view path) const {
    if (data_->keys.empty())
        return std::nullopt;
    const RegistryKeyData* key = walk(data_->keys.front().get(), path);
    if (key == nullptr)
        return std::nullopt;
    return RegistryKey(data_, key);
}

}  // namespace upkeep::platform
