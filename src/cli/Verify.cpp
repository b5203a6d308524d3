#include "cli/Verify.h"

#include <algorithm>
#include <thread>

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
                return {true, "verified: " + last};
            // Back from a restart with other versions: it did not take the file.
            if (wasSilent)
                break;
        }
        if (deadline.expired())
            break;
        pause(wait, deadline, cancel);
        wait = std::min(wait * 2, platform::Millis{30'000});
    }
    if (cancel.load())
        return {false, "not verified: canceled"};
    return {false, last.empty() ? "not verified: the printer did not answer"
                                : "not verified: the printer reports " + last};
}

}  // namespace upkeep::cli
