#include "cli/OidArgument.h"

#include <algorithm>
#include <vector>

#include "printer/SnmpQuery.h"

namespace upkeep::cli {

std::optional<std::string> oidProblem(std::string_view text) {
    // Built by appending: GCC 12 at -O3 warns falsely about "'" + text.
    std::string quoted(1, '\'');
    quoted.append(text);
    quoted += '\'';
    if (text.empty())
        return std::string("an OID may not be empty");
    std::vector<unsigned> numbers;
    std::size_t start = 0;
    while (true) {
        std::size_t dot = text.find('.', start);
        std::string_view run =
            text.substr(start, dot == std::string_view::npos ? dot : dot - start);
        if (run.empty() || run.find_first_not_of("0123456789") != std::string_view::npos)
            return quoted + " is not an OID: numbers separated by dots";
        unsigned value = 0;
        for (char c : run)  // held at 256 once past it, so it cannot overflow
            value = std::min(value * 10 + static_cast<unsigned>(c - '0'), 256u);
        if (value > 255) {
            return quoted + " holds " + std::string(run) +
                   ": a request cannot carry a number above 255";
        }
        numbers.push_back(value);
        if (numbers.size() > SnmpQuery::kOidLimit)
            return quoted + " has more than 128 numbers";
        if (dot == std::string_view::npos)
            break;
        start = dot + 1;
    }
    if (numbers.size() < 2)
        return quoted + " is not an OID: it needs at least two numbers";
    if (numbers[0] > 2 || (numbers[0] < 2 && numbers[1] >= 40))
        return quoted + " is not an OID: it must start 0.N or 1.N with N below 40, or 2.N";
    return std::nullopt;
}

}  // namespace upkeep::cli
