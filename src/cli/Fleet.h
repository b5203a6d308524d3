#pragma once
// Many printers at once: the spooler's printers for --all, and their
// analysis with a bounded number at a time.

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "printer/Printer.h"

namespace upkeep::cli {

// The printers discovery finds on this workstation; none when the print
// spooler cannot be asked.
std::optional<std::vector<std::shared_ptr<Printer>>> discoveredPrinters();

// Keeps the first of printers that are one printer (the same address and
// data port, however written, or the same device), saying on stderr which
// were merged: one printer never gets two downloads at once.
void mergeSamePrinters(std::vector<std::shared_ptr<Printer>>& printers);

// `wanted` tasks at once, or fewer when each holds `descriptorsEach` open
// files and the process has not that many left (at least one).
unsigned fitParallel(unsigned wanted, std::size_t descriptorsEach);

// Empty when every open succeeded; else the tool's own failure to report,
// since a printer that could not be asked for want of a descriptor did not
// fail itself.
std::optional<std::string> resourceProblem();

// Analyses every printer with at most `parallel` at once: a fleet with
// silent printers costs about one time-out, not one per printer. While it
// waits, `progress` (when given) is told, on this thread, how many have
// answered so far, and again each time that changes.
using AnalysisProgress = std::function<void(std::size_t answered, std::size_t asked)>;
void analyseAll(const std::vector<std::shared_ptr<Printer>>& printers, unsigned parallel,
                const AnalysisProgress& progress = {});

}  // namespace upkeep::cli
