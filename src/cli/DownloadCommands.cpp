// upkeepctl downgrade, send and add-profile: a download on the sending
// worker, with a progress bar, a confirmation on a terminal, a truthful
// outcome, and on request a check that the printer came back with it.

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <thread>

#include "cli/Command.h"
#include "cli/Downloads.h"
#include "cli/Interrupt.h"
#include "cli/Options.h"
#include "cli/Progress.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "cli/Verify.h"
#include "package/CatalogueEntry.h"
#include "package/FirmwareCatalogue.h"
#include "printer/Printer.h"
#include "printer/SendingWorker.h"

namespace upkeep::cli {

int downgradeCommand(const Args& args);
int sendCommand(const Args& args);
int addProfileCommand(const Args& args);

namespace {

std::string tooLong(const std::string& file) {
    return message(text::kPathTooLong,
                   {std::to_string(PortDescriptor::Text::kCapacity), terminalText(file)});
}

// "FILE (N bytes) sent to PRINTER.": a forced download has no other name.
std::string sentLine(const DownloadReport& report, const std::string& printer) {
    for (const history::Record& r : report.records) {
        if (r.outcome == "sent") {
            return message(text::kSentFile, {terminalText(r.file.path), std::to_string(r.file.size),
                                             terminalText(printer)});
        }
    }
    return message(152);
}

// Runs the request to its end; Ctrl-C cancels it. With `verify`, a
// download that was sent is only a success once the printer runs it.
int runDownload(SendRequest request, int successId, const std::string& fallbackLabel, bool verify) {
    auto sink = std::make_shared<DownloadSink>(1);
    sink->setFileText(fallbackLabel);
    const std::string name = request.printer->name();
    const PortDescriptor port = request.printer->portDescriptor();
    const std::string versionBefore = request.printer->facts().versionText();
    const bool system = request.operation != Operation::AddProfile;
    const bool forced = request.operation == Operation::SendFile;
    // Held to the end, messages included: a second Ctrl-C then always
    // leaves the one way, with "canceled" and status 1.
    InterruptGuard guard;
    ProgressBar bar;
    DownloadReport report;
    {
        SendingWorker worker(std::move(request), sink);
        while (worker.running()) {
            if (interrupted())
                worker.cancel();
            bar.show(sink->label(), worker.progress());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        bar.show(sink->label(), worker.progress());
        worker.join();
        report = worker.report();
    }
    bar.done();
    const bool sent = !sink->canceled() && sink->outcome() != Operation::Failed;
    if (system)
        recordHistory(report, sent && verify);
    Verification verification;
    if (sent && verify && system) {
        std::atomic<bool> cancel{false};
        std::thread watch([&] {
            while (!cancel.load()) {
                if (interrupted())
                    cancel.store(true);
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
        });
        // A file of the user's choice names no version the catalogue knows.
        verification =
            verifyPrinter(name, port, forced ? std::vector<DownloadReport::Sent>{} : report.sent,
                          versionBefore, cancel);
        cancel.store(true);
        watch.join();
        completeHistory(report, verification.text);
    }
    if (sink->canceled())
        return fail(kExitFailed,
                    message(text::kCanceledBecause, {message(text::kDidNotFinish, {})}));
    if (sink->outcome() == Operation::Failed) {
        if (!report.refused.empty())
            return fail(kExitFailed, message(text::kRefused, {terminalText(report.refused)}));
        return fail(kExitFailed, report.busy.empty() ? sink->failure() : report.busy);
    }
    if (forced) {
        std::printf("%s\n", sentLine(report, name).c_str());
    } else {
        std::printf("%s\n", message(successId).c_str());
    }
    if (verify && system) {
        std::printf("%s\n", terminalText(shown(verification.text)).c_str());
        if (!verification.verified)
            return kExitFailed;
    }
    return kExitOk;
}

// Position of a version in its model's section, oldest first; -1 if absent.
int catalogueRank(const Printer& printer, std::string_view version) {
    std::unique_ptr<EntryIterator> entries = printer.versions();
    int rank = 0;
    for (CatalogueEntry* e = entries ? entries->next() : nullptr; e; e = entries->next(), ++rank) {
        if (e->hasVersion(version))
            return rank;
    }
    return -1;
}

// Analyses the target and applies the checks every command makes: a
// printer that is not usable ends the command with the program's message.
std::shared_ptr<Printer> checkedPrinter(const Command& command, const std::string& target,
                                        int& code) {
    auto port = parseTarget(target);
    if (!port) {
        code = usageError(command, targetError(target));
        return nullptr;
    }
    if (auto missing = missingPort(*port)) {
        code = fail(kExitFailed, *missing);
        return nullptr;
    }
    auto printer = std::make_shared<Printer>(target, *port);
    printer->analyseIfNeeded();
    if (int id = unusableMessage(printer->effectiveState())) {
        code = fail(kExitFailed, message(id));
        return nullptr;
    }
    return printer;
}

}  // namespace

int downgradeCommand(const Args& args) {
    const Command& self = commandNamed("downgrade");
    Options options;
    if (auto usage = parseOptions(
            self, args, options,
            {"--yes", "--package", "--community", "--verify", "--keyring", "--require-signed"}))
        return *usage;
    if (options.positional.size() != 2)
        return usageError(self, message(text::kExpected, {"TARGET VERSION"}));
    if (!loadPackage(options))
        return kExitFailed;
    int code = kExitFailed;
    auto printer = checkedPrinter(self, options.positional[0], code);
    if (!printer)
        return code;
    const std::string& version = options.positional[1];
    // The printer's own version, not the text that adds its subsystems'.
    const std::string current = printer->facts().version.str();
    if (equalsIgnoringCase(version, current))
        return fail(kExitFailed, message(text::kAlreadyRuns, {terminalText(current)}));
    const int wanted = catalogueRank(*printer, version);
    if (wanted < 0) {
        return fail(kExitFailed, message(text::kVersionNotListed,
                                         {terminalText(version), terminalText(printer->model())}));
    }
    const int now = catalogueRank(*printer, current);
    if (now >= 0 && wanted > now) {
        return fail(kExitFailed,
                    message(256) + " " +
                        message(text::kNewer, {terminalText(version), terminalText(current)}));
    }
    if (!printer->versionFilePresent(printer->model(), version))
        return fail(kExitFailed, message(181));
    if (auto refused = confirm(options, {message(202), message(203)}))
        return *refused;
    return runDownload({Operation::Downgrade, printer, nullptr, version}, 254, version,
                       options.verify);
}

int sendCommand(const Args& args) {
    const Command& self = commandNamed("send");
    Options options;
    if (auto code = parseOptions(
            self, args, options,
            {"--yes", "--package", "--community", "--verify", "--keyring", "--require-signed"}))
        return *code;
    if (options.positional.size() != 2)
        return usageError(self, message(text::kExpected, {"TARGET FILE"}));
    auto port = parseTarget(options.positional[0]);
    if (!port)
        return usageError(self, targetError(options.positional[0]));
    if (auto missing = missingPort(*port))
        return fail(kExitFailed, *missing);
    // Made whole before --package moves the working directory, and so that
    // the entry takes it as it stands rather than looking in the package.
    std::error_code error;
    const std::string file = std::filesystem::absolute(options.positional[1], error).string();
    if (error || ::access(file.c_str(), R_OK) != 0)
        return fail(kExitFailed, message(181) + " (" + options.positional[1] + ")");
    if (!PortDescriptor::fits(file))
        return fail(kExitFailed, tooLong(file));
    // A file inside the package is checked against it when sent; one from
    // elsewhere is the user's own choice.
    useKeyrings(options);
    if (options.package || options.requireSigned) {
        if (!loadPackage(options) && options.requireSigned)
            return kExitFailed;
    }
    if (auto refused = confirm(options, {message(192)}))
        return *refused;
    // A forced download: the printer's state is not examined, but with
    // --verify its version before is what the verification compares with.
    auto printer = std::make_shared<Printer>(options.positional[0], *port);
    if (options.verify)
        printer->analyse();
    auto entry = std::make_shared<CatalogueEntry>("Forced", "Forced", file);
    return runDownload({Operation::SendFile, printer, entry, {}}, 152, file, options.verify);
}

}  // namespace upkeep::cli

namespace upkeep::cli {

int addProfileCommand(const Args& args) {
    const Command& self = commandNamed("add-profile");
    Options options;
    if (auto code = parseOptions(self, args, options, {"--yes"}))
        return *code;
    if (options.positional.size() != 2)
        return usageError(self, message(text::kExpected, {"TARGET FILE"}));
    auto port = parseTarget(options.positional[0]);
    if (!port)
        return usageError(self, targetError(options.positional[0]));
    const std::string& file = options.positional[1];
    if (::access(file.c_str(), R_OK) != 0)
        return fail(kExitFailed, message(text::kCannotRead, {terminalText(file)}));
    // Refused before anything is sent: a path cut to fit names another file.
    if (!PortDescriptor::fits(file))
        return fail(kExitFailed, tooLong(file));
    auto printer = std::make_shared<Printer>(options.positional[0], *port);
    return runDownload({Operation::AddProfile, printer, nullptr, file}, 240, file, false);
}

}  // namespace upkeep::cli
