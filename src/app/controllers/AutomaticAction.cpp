#include "app/controllers/AutomaticAction.h"

#include <algorithm>

namespace upkeep::app {

AutomaticAction automaticAction(const StartOptions& options, const std::vector<std::string>& rows,
                                const std::vector<PrinterState>& states) {
    using Kind = AutomaticAction::Kind;
    const std::string argument = options.argument.str();
    // A printer named at start-up is upgraded whether it is shown or not.
    if (options.firmwareMode == 1 && !argument.empty())
        return {Kind::UpgradePrinter, argument, {}, 0};
    if (rows.empty())
        return {Kind::Message, {}, {}, 253};
    if (rows.size() == 1) {
        if (options.firmwareMode != 0)
            return {Kind::UpgradePrinter, rows.front(), {}, 0};
        if (options.mediaMode != 0 && !argument.empty())
            return {Kind::AddProfile, rows.front(), argument, 0};
        return {};
    }
    if (options.mediaMode != 0)
        return {Kind::Message, {}, {}, 252};
    const bool upgradable =
        std::find(states.begin(), states.end(), PrinterState::UpgradeAvailable) != states.end();
    return {Kind::Message, {}, {}, upgradable ? 250 : 251};
}

}  // namespace upkeep::app
