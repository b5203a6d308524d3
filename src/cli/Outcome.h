#pragma once
// What became of a printer in a download command, in the one set of words
// every command's --json uses (the states of `check` among them), with a
// stable reason code beside the message for a script to branch on.

#include <string>

#include "printer/PrinterState.h"

namespace upkeep::cli {

struct Outcome {
    // upToDate, sent, verified, notVerified, notApplied, failed, canceled,
    // wouldUpgrade, wouldDowngrade
    std::string word;
    // Why, when it is not a success: a printer state (notReachable,
    // unsupportedPrinter, ...), a transfer's reason (busy, stalled,
    // closedEarly, refusedFile, ...), a command's own (sameVersion,
    // versionNotListed, newerVersion, notApplied, notVerified); else empty.
    std::string code;
    std::string reason;  // the message, as the table shows it

    bool succeeded() const { return word == "sent" || word == "verified" || word == "upToDate"; }
};

// The reason code for a printer whose state allows no download.
inline std::string unusableCode(PrinterState effective) {
    switch (effective) {
        case PrinterState::NotAnalysed:
            return "systemError";
        case PrinterState::Unsupported:
            return "unsupportedPrinter";
        default:
            return stateName(effective);
    }
}

// `{"outcome": ..., "code": ..., "reason": ...}` without the braces.
std::string outcomeFields(const Outcome& outcome);

}  // namespace upkeep::cli
