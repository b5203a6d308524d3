// upkeepctl upgrade: upgrades one printer or a whole fleet, at most N at
// once, each printer's items in order with the pause between them; one
// confirmation for the set, a progress line per printer, and a summary.

#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <memory>
#include <thread>
#include <vector>

#include "cli/Command.h"
#include "cli/Downloads.h"
#include "cli/Fleet.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Outcome.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "cli/Verify.h"
#include "package/CatalogueEntry.h"
#include "printer/SendEngine.h"

namespace upkeep::cli {

int upgradeCommand(const Args& args);

namespace {

const Command& upgradeCommandLine() {
    return commandNamed("upgrade");
}

enum Phase { kWaiting, kSending, kVerifying, kDone };

// One printer of the set. The pool thread that runs it writes the result
// fields and then publishes kDone; the main thread reads them only after.
struct Job {
    std::shared_ptr<Printer> printer;
    std::vector<std::string> items;  // the files it is to get
    struct Change {
        std::string model, from, to, file;
        std::string text() const { return model + " " + from + " -> " + to + " (" + file + ")"; }
    };
    std::vector<Change> changes;  // what each item replaces
    std::shared_ptr<DownloadSink> sink;
    std::atomic<int> phase{kWaiting};
    std::atomic<int> progress{0};
    std::vector<std::string> sent;
    std::string outcome;  // the words of Outcome
    std::string code;
    std::string reason;

    bool succeeded() const { return Outcome{outcome, code, reason}.succeeded(); }
    void end(const Outcome& o) {
        outcome = o.word;
        code = o.code;
        reason = o.reason;
    }
};

// Decides what a printer gets; a printer that gets nothing is done.
void plan(Job& job) {
    Printer& p = *job.printer;
    const PrinterState effective = p.effectiveState();
    if (int id = unusableMessage(effective)) {
        job.end({"failed", unusableCode(effective), english(id)});
    } else if (effective == PrinterState::UpToDate) {
        job.end({"upToDate", "", english(255)});
    } else if (!p.upgradeFilesPresent()) {
        job.end({"failed", "fileNotFound", english(181)});
        // A refused catalogue line is newer than the printer, but cannot be
        // sent: say why rather than only that no file was found.
        for (const CatalogueEntry* entry : p.upgradeEntries()) {
            if (entry && !entry->isUsable()) {
                job.code = "notUsable";
                job.reason =
                    english(text::kLineNotUsable, {entry->model().str(), entry->version().str()});
                break;
            }
        }
    } else {
        // What each item replaces: the upgradable subsystems, then the
        // printer itself, in the order the entries come.
        const PrinterFacts f = p.facts();
        std::vector<std::string> from;
        for (std::size_t i = 0; i < f.subsystemCount && i < kMaxSubsystems; ++i) {
            if (f.subsystemStates[i] == PrinterState::UpgradeAvailable)
                from.push_back(f.subsystemVersions[i].str());
        }
        if (f.state == PrinterState::UpgradeAvailable)
            from.push_back(f.version.str());
        const std::vector<CatalogueEntry*> entries = p.upgradeEntries();
        for (std::size_t k = 0; k < entries.size(); ++k) {
            const CatalogueEntry* entry = entries[k];
            job.items.push_back(entry ? entry->fileName().str() : std::string("?"));
            if (entry) {
                job.changes.push_back({entry->model().str(),
                                       k < from.size() ? from[k] : std::string("?"),
                                       entry->version().str(), entry->fileName().str()});
            }
        }
        return;
    }
    job.phase.store(kDone);
}

void run(Job& job, const Options& options, const std::atomic<bool>& cancel) {
    const bool verify = options.verify;
    if (cancel.load()) {
        job.end({"canceled", "canceled", english(text::kCanceledBeforeStart)});
        job.phase.store(kDone);
        return;
    }
    const std::string versionBefore = job.printer->facts().versionText();
    job.sink = std::make_shared<DownloadSink>(static_cast<int>(job.items.size()));
    job.phase.store(kSending);
    DownloadReport report;
    {
        SendingWorker worker({Operation::Upgrade, job.printer, nullptr, {}}, job.sink);
        while (worker.running()) {
            if (cancel.load())
                worker.cancel();
            job.progress.store(worker.progress());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        worker.join();
        job.progress.store(worker.progress());
        report = worker.report();
    }
    for (const history::Record& r : report.records) {
        if (r.outcome == "sent")
            job.sent.push_back(r.file.path);
    }
    const bool verifying =
        verify && !job.sink->canceled() && job.sink->outcome() != Operation::Failed;
    recordHistory(report, verifying);
    if (job.sink->canceled()) {
        job.end({"canceled", "canceled", english(text::kDidNotFinish)});
    } else if (job.sink->outcome() == Operation::Failed) {
        job.end({"failed", report.refused.empty() ? report.failure : "refusedFile",
                 !report.refused.empty() ? english(text::kRefused, {report.refused})
                 : report.busy.empty()   ? job.sink->failure()
                                         : report.busy});
    } else if (verifying) {
        job.phase.store(kVerifying);
        Verification v = verifyPrinter(job.printer->name(), job.printer->portDescriptor(),
                                       report.sent, versionBefore, cancel, options.verifyLimit);
        completeHistory(report, v.text);
        job.end(verificationOutcome(v));
    } else {
        job.end({"sent", "", english(264)});
    }
    job.phase.store(kDone);
}

// A line per printer on a terminal (stderr): those at work are redrawn in
// place, each finished one is printed once above them.
class FleetDisplay {
  public:
    FleetDisplay() : terminal_(::isatty(STDERR_FILENO) == 1) {}

    void draw(std::vector<std::unique_ptr<Job>>& jobs, bool last) {
        if (!terminal_)
            return;
        reported_.resize(jobs.size(), false);
        std::string out;
        if (drawn_ > 0)
            out += "\033[" + std::to_string(drawn_) + "A\r\033[J";
        drawn_ = 0;
        std::string active;
        for (std::size_t i = 0; i < jobs.size(); ++i) {
            Job& job = *jobs[i];
            const int phase = job.phase.load();
            const std::string name = terminalText(job.printer->name());
            if (phase == kDone && !reported_[i] && !job.items.empty()) {
                out += name + "  " + outcomeShown(job.outcome) + "\n";
                reported_[i] = true;
            } else if (phase == kSending && !last) {
                const int share = std::clamp(job.progress.load(), 0, kProgressWhole);
                const int tenths = share * 1000 / kProgressWhole;
                std::string bar(static_cast<std::size_t>(share * 20 / kProgressWhole), '#');
                bar.resize(20, '.');
                active += name + "  [" + bar + "] " + std::to_string(tenths / 10) + "." +
                          std::to_string(tenths % 10) + "%  " + terminalText(job.sink->label()) +
                          "\n";
                ++drawn_;
            } else if (phase == kVerifying && !last) {
                active += name + "  " + message(text::kVerifying, {}) + "\n";
                ++drawn_;
            }
        }
        out += active;
        std::fputs(out.c_str(), stderr);
        std::fflush(stderr);
    }

  private:
    bool terminal_;
    int drawn_ = 0;
    std::vector<bool> reported_;
};

void printJson(const std::vector<std::unique_ptr<Job>>& jobs) {
    std::printf("[");
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& job = *jobs[i];
        std::string sent;
        for (std::size_t k = 0; k < job.sent.size(); ++k)
            sent += (k ? ", " : "") + jsonString(job.sent[k]);
        std::printf("%s\n  {\"printer\": %s, \"port\": %s, \"itemsSent\": [%s], %s}", i ? "," : "",
                    jsonString(job.printer->name()).c_str(),
                    jsonString(job.printer->portDescriptor().name().view()).c_str(), sent.c_str(),
                    outcomeFields({job.outcome, job.code, job.reason}).c_str());
    }
    std::printf("%s]\n", jobs.empty() ? "" : "\n");
}

// What an upgrade would send, and nothing sent.
int printDryRun(const std::vector<std::unique_ptr<Job>>& jobs, bool json) {
    if (json)
        std::printf("[");
    for (std::size_t i = 0; i < jobs.size(); ++i) {
        const Job& job = *jobs[i];
        const bool would = job.phase.load() != kDone;
        if (json) {
            std::string items;
            for (const Job::Change& c : job.changes) {
                items += (items.empty() ? "" : ", ");
                items += "{\"model\": " + jsonString(c.model) +
                         ", \"from\": " + jsonString(c.from) + ", \"to\": " + jsonString(c.to) +
                         ", \"file\": " + jsonString(c.file) + "}";
            }
            std::printf("%s\n  {\"printer\": %s, \"port\": %s, \"wouldSend\": [%s], %s}",
                        i ? "," : "", jsonString(job.printer->name()).c_str(),
                        jsonString(job.printer->portDescriptor().name().view()).c_str(),
                        items.c_str(),
                        outcomeFields(would ? Outcome{"wouldUpgrade", "", ""}
                                            : Outcome{job.outcome, job.code, job.reason})
                            .c_str());
            continue;
        }
        std::printf(
            "%s: %s\n", terminalText(job.printer->name()).c_str(),
            would ? outcomeShown("wouldUpgrade").c_str()
                  : terminalText(outcomeShown(job.outcome) + ": " + shown(job.reason)).c_str());
        for (const Job::Change& c : job.changes)
            std::printf("  %s\n", terminalText(c.text()).c_str());
    }
    if (json)
        std::printf("%s]\n", jobs.empty() ? "" : "\n");
    return kExitOk;
}

void printTable(const std::vector<std::unique_ptr<Job>>& jobs) {
    std::vector<std::vector<std::string>> rows{{message(160), message(text::kItemsSent, {}),
                                                message(text::kOutcome, {}),
                                                message(text::kReason, {})}};
    for (const auto& job : jobs) {
        rows.push_back({terminalText(job->printer->name()),
                        std::to_string(job->sent.size()) + "/" + std::to_string(job->items.size()),
                        outcomeShown(job->outcome), terminalText(shown(job->reason))});
    }
    std::fputs(columns(rows).c_str(), stdout);
}

// One printer named on its own: the messages of a single download.
int reportSingle(const Job& job, bool verify) {
    if (!job.succeeded())
        return fail(kExitFailed,
                    terminalText(job.outcome == "canceled"
                                     ? message(text::kCanceledBecause, {shown(job.reason)})
                                     : shown(job.reason)));
    if (job.outcome == "upToDate") {
        std::printf("%s\n", terminalText(shown(job.reason)).c_str());
        return kExitOk;
    }
    std::printf("%s\n", message(264).c_str());
    if (verify)
        std::printf("%s\n", terminalText(shown(job.reason)).c_str());
    return kExitOk;
}

}  // namespace

int upgradeCommand(const Args& args) {
    Options options;
    options.parallel = 8;
    if (auto code = parseOptions(
            upgradeCommandLine(), args, options,
            {"--yes", "--package", "--community", "--all", "--parallel", "--verify",
             "--verify-timeout", "--json", "--dry-run", "--keyring", "--require-signed"})) {
        return *code;
    }
    if (options.positional.empty() && !options.all)
        return usageError(upgradeCommandLine(), message(text::kExpected, {"TARGET... | --all"}));
    std::vector<std::shared_ptr<Printer>> printers;
    for (const std::string& target : options.positional) {
        auto port = resolveTarget(target);
        if (!port)
            return usageError(upgradeCommandLine(), targetError(target));
        printers.push_back(std::make_shared<Printer>(target, *port));
    }
    if (!loadPackage(options))
        return kExitFailed;
    if (options.all) {
        auto found = discoveredPrinters();
        if (!found)
            return fail(kExitFailed, message(text::kSpoolerNotAsked, {}));
        printers.insert(printers.begin(), found->begin(), found->end());
    }
    mergeSamePrinters(printers);
    analyseAll(printers, options.parallel);
    if (auto problem = resourceProblem())
        return fail(kExitFailed, *problem);

    std::vector<std::unique_ptr<Job>> jobs;
    std::vector<Job*> pending;
    std::vector<std::string> question{message(191), message(192)};
    for (auto& printer : printers) {
        jobs.push_back(std::make_unique<Job>());
        Job& job = *jobs.back();
        job.printer = printer;
        plan(job);
        if (job.phase.load() == kDone)
            continue;
        pending.push_back(&job);
        question.push_back(terminalText(printer->name()) + ":");
        for (const Job::Change& change : job.changes)
            question.back().append("\n  ").append(terminalText(change.text()));
    }
    for (const auto& job : jobs) {
        if (job->phase.load() == kDone) {
            question.push_back(message(text::kSkipped, {terminalText(job->printer->name()),
                                                        terminalText(shown(job->reason))}));
        }
    }
    question.push_back(message(193));
    if (options.dryRun)
        return printDryRun(jobs, options.json);
    if (!pending.empty()) {
        if (auto refused = confirm(options, question))
            return *refused;
    }

    {
        InterruptGuard guard;
        std::atomic<bool> cancel{false};
        std::atomic<std::size_t> next{0};
        std::vector<std::thread> pool;
        // A download holds its socket, its file and the history open.
        const std::size_t count =
            std::min<std::size_t>(fitParallel(options.parallel, 3), pending.size());
        for (std::size_t t = 0; t < count; ++t) {
            pool.emplace_back([&] {
                for (std::size_t i; (i = next.fetch_add(1)) < pending.size();)
                    run(*pending[i], options, cancel);
            });
        }
        FleetDisplay display;
        auto allDone = [&] {
            return std::all_of(pending.begin(), pending.end(),
                               [](const Job* j) { return j->phase.load() == kDone; });
        };
        while (!allDone()) {
            if (interrupted())
                cancel.store(true);
            display.draw(jobs, false);
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        for (std::thread& thread : pool)
            thread.join();
        display.draw(jobs, true);
    }

    const bool single = !options.all && jobs.size() == 1 && !options.json;
    if (single)
        return reportSingle(*jobs.front(), options.verify);
    if (options.json)
        printJson(jobs);
    else
        printTable(jobs);
    if (auto problem = resourceProblem())
        return fail(kExitFailed, *problem);
    const bool all = std::all_of(jobs.begin(), jobs.end(), [](auto& j) { return j->succeeded(); });
    return all ? kExitOk : kExitFailed;
}

}  // namespace upkeep::cli
