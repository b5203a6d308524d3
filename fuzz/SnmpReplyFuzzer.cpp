// The SNMP reply decoding over arbitrary bytes, then the binding rule and
// the value rule on what it decoded, with the asked OIDs taken from the
// same bytes.

#include <string>
#include <string_view>

#include "printer/SnmpQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace upkeep;
    if (size < 1)
        return 0;
    // The first byte: how many of the following bytes are the asked OID's
    // text; the reply is the rest.
    std::size_t oidLength = std::min<std::size_t>(data[0] % 64, size - 1);
    std::string_view oidText(reinterpret_cast<const char*>(data + 1), oidLength);
    snmp::SubIds asked = snmp::oidFromText(oidText);
    const std::uint8_t* reply = data + 1 + oidLength;
    std::size_t replyLength = size - 1 - oidLength;

    std::optional<snmp::Response> response = snmp::decodeMessage(reply, replyLength);
    if (!response)
        return 0;
    for (const snmp::Binding& binding : response->bindings) {
        bool matches = snmp::bindingMatches(binding.oid, asked);
        if (matches && binding.oid.size() > asked.size())
            __builtin_trap();  // only a prefix of the asked OID may match
        std::string text = snmp::valueText(binding.value);
        if (text.size() > SnmpQuery::kValueLimit || text.find('\0') != std::string::npos)
            __builtin_trap();  // never past the printer's field, never a NUL inside
        if (binding.value.size() >= 2 && !binding.value.substr(2).starts_with(text))
            __builtin_trap();  // the text is what follows the two leading octets
    }
    return 0;
}
