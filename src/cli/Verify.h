#pragma once
// After a download: wait for the printer to come back from its restart and
// check that it runs what it was sent.

#include <atomic>
#include <string>
#include <vector>

#include "cli/Outcome.h"
#include "platform/Clock.h"
#include "printer/SendingWorker.h"

namespace upkeep::cli {

struct Verification {
    enum class Result { Verified, NotVerified, NotApplied, Canceled };
    Result result = Result::NotVerified;
    bool verified = false;
    std::string text;  // "verified: ...", "not verified: ...", "not applied: ..."
};

// A printer is given this long to come back (scaled in tests).
inline constexpr platform::Millis kVerifyLimit{10 * 60 * 1000};
// A printer that took a file starts applying it and restarts well within
// this; one that kept answering with its old versions all along refused it.
inline constexpr platform::Millis kAppliedWithin{2 * 60 * 1000};

// Re-identifies the printer with growing pauses until its model and
// subsystems run the versions in `sent`, or, for a file of the user's choice
// (`sent` empty), a version other than `versionBefore`. A printer that comes
// back from a silence with other versions, or the limit, ends it
// unverified; so does `cancel`, within a wait step of its own, even during
// an exchange with the printer. One that keeps answering with other
// versions and never restarts has not applied the file: that ends it at
// kAppliedWithin (or the limit, when shorter).
Verification verifyPrinter(const std::string& name, const PortDescriptor& port,
                           const std::vector<DownloadReport::Sent>& sent,
                           const std::string& versionBefore, const std::atomic<bool>& cancel,
                           platform::Millis limit = kVerifyLimit);

// A verification's end in the words every command uses.
Outcome verificationOutcome(const Verification& verification);

}  // namespace upkeep::cli
