#include "cli/Outcome.h"

#include "cli/Json.h"

namespace upkeep::cli {

std::string outcomeFields(const Outcome& outcome) {
    return "\"outcome\": " + jsonString(outcome.word) + ", \"code\": " +
           (outcome.code.empty() ? std::string("null") : jsonString(outcome.code)) +
           ", \"reason\": " + jsonString(outcome.reason);
}

}  // namespace upkeep::cli
