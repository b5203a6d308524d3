// OID text: the query command's check and the request's own reading. Every
// text the check lets through must be carried exactly: the request encodes
// and decodes back to the same numbers.

#include <string>
#include <string_view>

#include "cli/OidArgument.h"
#include "printer/SnmpQuery.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace upkeep;
    std::string_view text(reinterpret_cast<const char*>(data), size);
    snmp::SubIds ids = snmp::oidFromText(text);
    if (ids.size() > SnmpQuery::kOidLimit)
        __builtin_trap();
    if (cli::oidProblem(text))
        return 0;

    // Accepted: the numbers are exactly the dotted text's.
    std::string back;
    for (std::uint8_t id : ids)
        back += (back.empty() ? "" : ".") + std::to_string(id);
    std::string canonical;
    for (std::size_t start = 0; start <= text.size();) {
        std::size_t dot = text.find('.', start);
        std::string_view run =
            text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        run.remove_prefix(std::min(run.find_first_not_of('0'), run.size() - 1));
        canonical += (canonical.empty() ? "" : ".") + std::string(run);
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    if (back != canonical)
        __builtin_trap();

    // Two of them fit one request as long as they are not very long; the
    // query command refuses a pair that does not.
    std::optional<std::vector<std::uint8_t>> request = snmp::encodeGetRequest(ids, ids, "quenby");
    if (!request && ids.size() <= 50)
        __builtin_trap();
    if (!request)
        return 0;
    std::optional<snmp::Response> decoded = snmp::decodeMessage(request->data(), request->size());
    if (!decoded || decoded->bindings.size() != 2)
        __builtin_trap();
    for (const snmp::Binding& binding : decoded->bindings) {
        if (binding.oid != std::vector<unsigned long>(ids.begin(), ids.end()))
            __builtin_trap();
    }
    return 0;
}
