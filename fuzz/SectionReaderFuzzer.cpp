// The section reader over arbitrary bytes: the first two bytes choose how the
// source hands its bytes out and how large the caller's buffers are.

#include <cstring>
#include <vector>

#include "FuzzSource.h"
#include "package/SectionReader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 2)
        return 0;
    std::size_t chunk = 1 + data[0] % 64;
    std::size_t textSize = data[1] % 96;  // 0 included: no room even for the terminator
    upkeep::fuzz::FuzzSource source(data + 2, size - 2, chunk);
    upkeep::SectionReader reader(source, (data[0] & 0x80) ? 7 : upkeep::SectionReader::kBufferSize);

    // Heap buffers of the exact size, so that a write past them is caught.
    std::vector<char> first(textSize), second(textSize);
    upkeep::SectionItemKind kind{};
    int items = 0;
    while (reader.nextItem(kind, first, second)) {
        if (!first.empty() && std::memchr(first.data(), 0, first.size()) == nullptr)
            __builtin_trap();  // every text must stay terminated
        if (!second.empty() && std::memchr(second.data(), 0, second.size()) == nullptr)
            __builtin_trap();
        if (++items % 7 == 0) {
            // The start-up reader's way through the same bytes.
            reader.skipBlanks();
            reader.readWord(first);
            reader.readRestOfLine({});
            reader.readKey(second);
        }
    }
    if (reader.nextItem(kind, first, second))
        __builtin_trap();  // the end stays the end
    return 0;
}
