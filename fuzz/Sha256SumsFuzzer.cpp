// The checksum list reader over arbitrary bytes: whatever it accepts names
// only files inside the package, each once, with a whole digest.

#include <string>
#include <string_view>

#include "package/Sha256Sums.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view text(reinterpret_cast<const char*>(data), size);
    std::string problem;
    std::optional<upkeep::Sha256Sums> sums = upkeep::parseSha256Sums(text, problem);
    if (!sums) {
        if (problem.empty())
            __builtin_trap();  // a refusal always says why
        return 0;
    }
    if (sums->files.empty() || sums->files.size() > upkeep::Sha256Sums::kMaxFiles)
        __builtin_trap();
    for (const auto& [name, digest] : sums->files) {
        if (name.empty() || name.front() == '/' || name.find('\0') != std::string::npos)
            __builtin_trap();
        if (("/" + name + "/").find("/../") != std::string::npos)
            __builtin_trap();
        if (sums->find(name) != &digest || upkeep::toHex(digest).size() != 64)
            __builtin_trap();
    }
    return 0;
}
