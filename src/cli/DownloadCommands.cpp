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
#include "cli/Json.h"
#include "cli/Options.h"
#include "cli/Outcome.h"
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
    return english(text::kPathTooLong,
                   {std::to_string(PortDescriptor::Text::kCapacity), terminalText(file)});
}

// "FILE (N bytes) sent to PRINTER.": a forced download has no other name.
std::string sentLine(const DownloadReport& report, const std::string& printer) {
    for (const history::Record& r : report.records) {
        if (r.outcome == "sent") {
            return message(text::kSentFile, {r.file.path, std::to_string(r.file.size), printer});
        }
    }
    return message(152);
}

// What one download command says at its end: the message on the terminal,
// or with --json one object in the words every command uses. Reasons are
// English, as --json keeps them; the terminal shows them translated.
struct Reply {
    const Options& options;
    std::string command, printer, port, file, version;

    int operator()(const Outcome& outcome, const std::vector<std::string>& lines = {}) const {
        if (options.json) {
            auto orNull = [](const std::string& t) {
                return t.empty() ? std::string("null") : jsonString(t);
            };
            std::printf(
                "{\"printer\": %s, \"port\": %s, \"operation\": %s, \"file\": %s, "
                "\"version\": %s, %s}\n",
                jsonString(printer).c_str(), orNull(port).c_str(), jsonString(command).c_str(),
                orNull(file).c_str(), orNull(version).c_str(), outcomeFields(outcome).c_str());
            return outcome.succeeded() ? kExitOk : kExitFailed;
        }
        if (!outcome.succeeded())
            return fail(kExitFailed, terminalText(shown(outcome.reason)));
        for (const std::string& line : lines)
            std::printf("%s\n", terminalText(line).c_str());
        return kExitOk;
    }
    int failed(const std::string& code, const std::string& reason) const {
        return (*this)({"failed", code, reason});
    }
};

// Runs the request to its end; Ctrl-C cancels it. With `verify`, a
// download that was sent is only a success once the printer runs it.
int runDownload(SendRequest request, int successId, const std::string& fallbackLabel,
                const Reply& reply) {
    const Options& options = reply.options;
    const bool verify = options.verify;
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
                          versionBefore, cancel, options.verifyLimit);
        cancel.store(true);
        watch.join();
        completeHistory(report, verification.text);
    }
    if (sink->canceled())
        return reply({"canceled", "canceled",
                      english(text::kCanceledBecause, {english(text::kDidNotFinish)})});
    if (sink->outcome() == Operation::Failed) {
        if (!report.refused.empty())
            return reply.failed("refusedFile", english(text::kRefused, {report.refused}));
        return reply.failed(report.failure, report.busy.empty() ? sink->failure() : report.busy);
    }
    // What was sent, in the user's language.
    const std::string done = forced ? sentLine(report, name) : message(successId);
    if (verify && system) {
        Outcome outcome = verificationOutcome(verification);
        if (!outcome.succeeded()) {
            // The download itself went through: say so before why it is
            // not a success.
            if (!options.json)
                std::printf("%s\n", done.c_str());
            return reply(outcome);
        }
        return reply(outcome, {done, shown(verification.text)});
    }
    return reply({"sent", "", english(successId)}, {done});
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
                                        Reply& reply, int& code) {
    auto port = resolveTarget(target);
    if (!port) {
        code = usageError(command, targetError(target));
        return nullptr;
    }
    reply.port = port->name().str();
    if (auto missing = missingPort(*port)) {
        code = reply.failed("noParallelPort", *missing);
        return nullptr;
    }
    auto printer = std::make_shared<Printer>(target, *port);
    printer->analyseIfNeeded();
    const PrinterState effective = printer->effectiveState();
    if (int id = unusableMessage(effective)) {
        code = reply.failed(unusableCode(effective), english(id));
        return nullptr;
    }
    return printer;
}

}  // namespace

int downgradeCommand(const Args& args) {
    const Command& self = commandNamed("downgrade");
    Options options;
    if (auto usage = parseOptions(self, args, options,
                                  {"--yes", "--package", "--community", "--verify",
                                   "--verify-timeout", "--keyring", "--require-signed", "--json"}))
        return *usage;
    if (options.positional.size() != 2)
        return usageError(self, message(text::kExpected, {"TARGET VERSION"}));
    if (!loadPackage(options))
        return kExitFailed;
    const std::string& version = options.positional[1];
    Reply reply{options, "downgrade", options.positional[0], "", "", version};
    int code = kExitFailed;
    auto printer = checkedPrinter(self, options.positional[0], reply, code);
    if (!printer)
        return code;
    // The printer's own version, not the text that adds its subsystems'.
    const std::string current = printer->facts().version.str();
    if (equalsIgnoringCase(version, current))
        return reply.failed("sameVersion", english(text::kAlreadyRuns, {current}));
    const int wanted = catalogueRank(*printer, version);
    if (wanted < 0) {
        return reply.failed("versionNotListed",
                            english(text::kVersionNotListed, {version, printer->model()}));
    }
    const int now = catalogueRank(*printer, current);
    if (now >= 0 && wanted > now) {
        return reply.failed("newerVersion", english(text::kNewer, {version, current}));
    }
    if (!printer->versionFilePresent(printer->model(), version))
        return reply.failed("fileNotFound", english(181));
    if (auto refused = confirm(options, {message(202), message(203)}))
        return *refused;
    return runDownload({Operation::Downgrade, printer, nullptr, version}, 254, version, reply);
}

int sendCommand(const Args& args) {
    const Command& self = commandNamed("send");
    Options options;
    if (auto code = parseOptions(self, args, options,
                                 {"--yes", "--package", "--community", "--verify",
                                  "--verify-timeout", "--keyring", "--require-signed", "--json"}))
        return *code;
    if (options.positional.size() != 2)
        return usageError(self, message(text::kExpected, {"TARGET FILE"}));
    auto port = resolveTarget(options.positional[0]);
    if (!port)
        return usageError(self, targetError(options.positional[0]));
    Reply reply{options, "send", options.positional[0], port->name().str(), options.positional[1],
                ""};
    if (auto missing = missingPort(*port))
        return reply.failed("noParallelPort", *missing);
    // Made whole before --package moves the working directory, and so that
    // the entry takes it as it stands rather than looking in the package.
    std::error_code error;
    const std::string file = std::filesystem::absolute(options.positional[1], error).string();
    if (error || ::access(file.c_str(), R_OK) != 0)
        return reply.failed("fileNotFound", english(181) + " (" + options.positional[1] + ")");
    if (!PortDescriptor::fits(file))
        return reply.failed("pathTooLong", tooLong(file));
    reply.file = file;
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
    return runDownload({Operation::SendFile, printer, entry, {}}, 152, file, reply);
}

}  // namespace upkeep::cli

namespace upkeep::cli {

int addProfileCommand(const Args& args) {
    const Command& self = commandNamed("add-profile");
    Options options;
    if (auto code = parseOptions(self, args, options, {"--yes", "--json"}))
        return *code;
    if (options.positional.size() != 2)
        return usageError(self, message(text::kExpected, {"TARGET FILE"}));
    auto port = resolveTarget(options.positional[0]);
    if (!port)
        return usageError(self, targetError(options.positional[0]));
    const std::string& file = options.positional[1];
    Reply reply{options, "add-profile", options.positional[0], port->name().str(), file, ""};
    if (::access(file.c_str(), R_OK) != 0)
        return reply.failed("fileNotFound", english(text::kCannotRead, {file}));
    // Refused before anything is sent: a path cut to fit names another file.
    if (!PortDescriptor::fits(file))
        return reply.failed("pathTooLong", tooLong(file));
    auto printer = std::make_shared<Printer>(options.positional[0], *port);
    options.verify = false;
    return runDownload({Operation::AddProfile, printer, nullptr, file}, 240, file, reply);
}

}  // namespace upkeep::cli
