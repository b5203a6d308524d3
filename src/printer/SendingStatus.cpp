#include "printer/SendingStatus.h"

namespace upkeep {

std::string sendingStatusLine(std::string_view sendingText, int step, int total,
                              std::string_view fileText) {
    std::string line(sendingText);
    if (total > 1) {
        line += " " + std::to_string(step) + "/" + std::to_string(total) + " (";
        line += fileText;
        line += ")";
    } else {
        line += "  (";
        line += fileText;
        line += ")... ";
    }
    return line;
}

}  // namespace upkeep
