#pragma once
// After a download: wait for the printer to come back from its restart and
// check that it runs what it was sent.

#include <atomic>
#include <string>
#include <vector>

#include "platform/Clock.h"
#include "printer/SendingWorker.h"

namespace upkeep::cli {

struct Verification {
    bool verified = false;
    std::string text;  // "verified: ..." or "not verified: ..."
};

// A printer is given this long to come back (scaled in tests).
inline constexpr platform::Millis kVerifyLimit{10 * 60 * 1000};

// Re-identifies the printer with growing pauses until its model and
// subsystems run the versions in `sent`, or, for a file of the user's choice
// (`sent` empty), a version other than `versionBefore`. A printer that comes
// back from a silence with other versions, or the limit, ends it
// unverified; so does `cancel`.
Verification verifyPrinter(const std::string& name, const PortDescriptor& port,
                           const std::vector<DownloadReport::Sent>& sent,
                           const std::string& versionBefore, const std::atomic<bool>& cancel,
                           platform::Millis limit = kVerifyLimit);

}  // namespace upkeep::cli
