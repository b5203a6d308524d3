// The simulator's BER reader over arbitrary bytes: every TLV it hands out
// lies inside the input, nested ones too, and an OID it decodes encodes
// back to the same text.

#include <string_view>

#include "Ber.h"

namespace {

void walk(std::string_view bytes, std::string_view whole, int depth) {
    using namespace upkeep::sim::ber;
    Reader reader(bytes);
    while (std::optional<Tlv> tlv = reader.next()) {
        if (tlv->whole.data() < whole.data() ||
            tlv->whole.data() + tlv->whole.size() > whole.data() + whole.size())
            __builtin_trap();
        decodeInteger(tlv->content);
        if (std::optional<std::string> oid = decodeOid(tlv->content)) {
            // Arcs too large for the encoder are refused there, not mangled.
            if (std::optional<std::string> again = encodeOid(*oid)) {
                std::optional<Tlv> encoded = Reader(*again).next();
                if (!encoded || encoded->tag != kOid || decodeOid(encoded->content) != oid)
                    __builtin_trap();
            }
        }
        if (depth < 8 && (tlv->tag & 0x20) != 0)
            walk(tlv->content, whole, depth + 1);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::string_view bytes(reinterpret_cast<const char*>(data), size);
    walk(bytes, bytes, 0);
    return 0;
}
