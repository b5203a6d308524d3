#pragma once
// Many printers at once: the spooler's printers for --all, and their
// analysis with a bounded number at a time.

#include <cstddef>
#include <functional>
#include <limits>
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

// --parallel left out: every network printer's request out at once.
inline constexpr unsigned kAllAtOnce = std::numeric_limits<unsigned>::max();

// Analyses every printer, network printers by one sweep with at most
// `parallel` requests out at once, the others on at most that many threads:
// a fleet with silent printers costs about one time-out, not one per
// printer. `done` is called for each printer as its analysis ends, one call
// at a time.
void analyseAll(const std::vector<std::shared_ptr<Printer>>& printers, unsigned parallel,
                const std::function<void(const Printer&)>& done = {});

}  // namespace upkeep::cli
