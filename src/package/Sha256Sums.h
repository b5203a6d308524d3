#pragma once
// The checksum list of a signed package ("SHA256SUMS", as sha256sum writes
// it): one "HEX  NAME" line per file, the name relative to the package
// directory. Read strictly: a list that is not exactly what sha256sum
// writes is refused whole, since a line skipped could hide a file that
// then goes unchecked.

#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace upkeep {

using Sha256 = std::array<std::uint8_t, 32>;

struct Sha256Sums {
    // Larger lists are refused: a package holds a catalogue and a few files.
    static constexpr std::size_t kMaxSize = 1024 * 1024;
    static constexpr std::size_t kMaxFiles = 4096;
    static constexpr std::size_t kMaxName = 1024;
    static constexpr const char* kFileName = "SHA256SUMS";
    static constexpr const char* kSignatureName = "SHA256SUMS.gpg";

    std::map<std::string, Sha256, std::less<>> files;

    const Sha256* find(std::string_view name) const;
};

// The list, or nothing with the reason in `problem` (the line it is on).
std::optional<Sha256Sums> parseSha256Sums(std::string_view text, std::string& problem);

// Lower-case hex of a digest.
std::string toHex(const Sha256& digest);

}  // namespace upkeep
