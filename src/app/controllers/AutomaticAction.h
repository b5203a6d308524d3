#pragma once
// What the main window does by itself once its first analysis has ended,
// decided from the start options, the rows shown and the printers' states.

#include <string>
#include <vector>

#include "package/StartOptions.h"
#include "printer/Printer.h"

namespace upkeep::app {

struct AutomaticAction {
    enum class Kind {
        Nothing,
        UpgradePrinter,  // the printer named `printer` (nothing when none has that name)
        AddProfile,      // the file `file` to the printer named `printer`
        Message,         // information `messageId`
    };
    Kind kind = Kind::Nothing;
    std::string printer;
    std::string file;
    int messageId = 0;
};

// rows: the names of the rows shown, in order; states: the effective
// state of every printer of the list, shown or not.
AutomaticAction automaticAction(const StartOptions& options, const std::vector<std::string>& rows,
                                const std::vector<PrinterState>& states);

}  // namespace upkeep::app
