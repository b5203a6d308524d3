#pragma once
// An OID as the query command takes it. The request carries each
// sub-identifier in one byte: "1.3.6.1.4.1.300.1" would go out as
// "...4.1.44.1", and "abc" as "0", so such texts are refused instead.

#include <optional>
#include <string>
#include <string_view>

namespace upkeep::cli {

// Why the text is not an OID the request can carry, or nothing when it is:
// two to 128 decimal numbers from 0 to 255 separated by single dots, the
// first 0, 1 or 2, and the second below 40 after a first of 0 or 1.
std::optional<std::string> oidProblem(std::string_view text);

}  // namespace upkeep::cli
