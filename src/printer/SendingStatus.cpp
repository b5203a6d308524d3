#include "printer/SendingStatus.h"

namespace upkeep {

std::string sendingStatusLine(std::string_view sendingText, int step, int total,
                              std::string_view fileText) {
    std::string line(sendingText);
    if (total > 1) {
        // Appended piece by piece: GCC 12 at -O3 warns falsely (restrict)
        // about a " " + to_string(...) chain.
        line += ' ';
        line += std::to_string(step);
        line += '/';
        line += std::to_string(total);
        line += " (";
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
