// The IDENTIFY reply over arbitrary bytes (at most what one read delivers).

#include <string_view>

#include "printer/IdentifyReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace upkeep;
    if (size > pjl::kReplyLimit)
        return 0;
    IdentifyReply reply = parseIdentifyReply(data, size);
    if (reply.subsystemCount > kMaxSubsystems)
        __builtin_trap();
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    auto inside = [&](const ValueText& text) {
        return text.size() <= ValueText::kCapacity &&
               (text.empty() || bytes.find(text.view()) != std::string_view::npos);
    };
    if (!inside(reply.model) || !inside(reply.version))
        __builtin_trap();  // every value is a piece of the reply
    for (std::size_t i = 0; i < kMaxSubsystems; ++i) {
        if (!inside(reply.subsystemModels[i]) || !inside(reply.subsystemVersions[i]))
            __builtin_trap();
    }
    return 0;
}
