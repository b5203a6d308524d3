#include "cli/Verify.h"

#include <algorithm>
#include <thread>

#include "connection/CancelScope.h"
#include "package/CatalogueEntry.h"

namespace upkeep::cli {
namespace {

bool runs(const PrinterFacts& facts, const DownloadReport::Sent& item) {
    if (equalsIgnoringCase(item.model, facts.model.view()))
        return equalsIgnoringCase(item.version, facts.version.view());
    for (std::size_t i = 0; i < facts.subsystemCount && i < kMaxSubsystems; ++i) {
        if (equalsIgnoringCase(item.model, facts.subsystemModels[i].view()))
            return equalsIgnoringCase(item.version, facts.subsystemVersions[i].view());
    }
    return false;
}

// "MODEL VERSION, SUBMODEL SUBVERSION, ..."
std::string reported(const PrinterFacts& facts) {
    std::string text = facts.model.str() + " " + facts.version.str();
    for (std::size_t i = 0; i < facts.subsystemCount && i < kMaxSubsystems; ++i)
        text += ", " + facts.subsystemModels[i].str() + " " + facts.subsystemVersions[i].str();
    return text;
}

// Sleeps a nominal duration, waking for a cancel.
void pause(platform::Millis nominal, const platform::Deadline& limit,
           const std::atomic<bool>& cancel) {
    platform::Deadline end(nominal);
    while (!cancel.load() && !end.expired() && !limit.expired())
        std::this_thread::sleep_for(std::min(platform::Millis{20}, end.remaining()));
}

}  // namespace

Verification verifyPrinter(const std::string& name, const PortDescriptor& port,
                           const std::vector<DownloadReport::Sent>& sent,
                           const std::string& versionBefore, const std::atomic<bool>& cancel,
                           platform::Millis limit) {
    const platform::Deadline deadline(limit);
    const platform::Deadline applied(std::min(limit, kAppliedWithin));
    // The printer's exchanges end with the tool, not at their time-out.
    CancelScope scope(cancel);
    platform::Millis wait{1000};
    bool wasSilent = false;
    std::string last;
    while (!cancel.load()) {
        Printer printer(name, port);
        printer.analyse();
        const PrinterFacts facts = printer.facts();
        if (facts.state == PrinterState::NotReachable) {
            wasSilent = true;
        } else {
            last = reported(facts);
            const bool ok = sent.empty() ? facts.versionText() != versionBefore
                                         : std::all_of(sent.begin(), sent.end(), [&](auto& item) {
                                               return runs(facts, item);
                                           });
            if (ok)
                return {Verification::Result::Verified, true, "verified: " + last};
            // Back from a restart with other versions: it did not take the file.
            if (wasSilent)
                break;
            if (applied.expired()) {
                return {Verification::Result::NotApplied, false,
                        "not applied: the printer kept answering, without a restart, and still "
                        "reports " +
                            last};
            }
        }
        if (deadline.expired())
            break;
        pause(wasSilent ? wait : std::min(wait, platform::Millis{10'000}), deadline, cancel);
        wait = std::min(wait * 2, platform::Millis{30'000});
    }
    if (cancel.load())
        return {Verification::Result::Canceled, false, "not verified: canceled"};
    return {Verification::Result::NotVerified, false,
            last.empty() ? "not verified: the printer did not answer"
                         : "not verified: the printer reports " + last};
}

Outcome verificationOutcome(const Verification& v) {
    switch (v.result) {
        case Verification::Result::Verified:
            return {"verified", "", v.text};
        case Verification::Result::NotApplied:
            return {"notApplied", "notApplied", v.text};
        case Verification::Result::Canceled:
            return {"canceled", "canceled", v.text};
        case Verification::Result::NotVerified:
            break;
    }
    return {"notVerified", "notVerified", v.text};
}

}  // namespace upkeep::cli
