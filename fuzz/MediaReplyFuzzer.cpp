// The media profile list job's reply over arbitrary bytes, parsed into one
// list in two pieces as the reads deliver them.

#include "media/MediaProfileList.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace upkeep;
    if (size < 1 || size > 2 * media::kReplyLimit)
        return 0;
    std::size_t cut = std::min<std::size_t>(data[0] * 16, size - 1);
    MediaProfileList list(PortDescriptor("fuzz", PortType::None, channel::kUnset));
    list.parseReply(data + 1, cut);
    list.parseReply(data + 1 + cut, size - 1 - cut);
    std::vector<std::string> stored = list.stored();
    if (stored.size() > MediaProfileList::kCapacity)
        __builtin_trap();
    for (const std::string& entry : stored) {
        if (entry.size() > MediaProfileList::Entry::kCapacity)
            __builtin_trap();
    }
    return 0;
}
