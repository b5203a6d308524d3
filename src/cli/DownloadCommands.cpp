// upkeepctl upgrade, downgrade and send: a download on the sending worker,
// with a progress bar, a confirmation on a terminal, and a truthful outcome.

#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>

#include "cli/Command.h"
#include "cli/Options.h"
#include "cli/Progress.h"
#include "package/CatalogueEntry.h"
#include "printer/Printer.h"
#include "printer/SendingWorker.h"

namespace upkeep::cli {

int upgradeCommand(const Args& args);
int downgradeCommand(const Args& args);
int sendCommand(const Args& args);
int addProfileCommand(const Args& args);

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "used in a signal handler");

// The first Ctrl-C (or SIGTERM) cancels the download, which then ends
// within a fraction of a second; a second one leaves at once. The data
// connection is set to reset when it closes without having been taken,
// so even then the printer gets nothing more.
extern "C" void onInterrupt(int) {
    if (interrupted.exchange(true)) {
        static const char text[] = "canceled\n";
        [[maybe_unused]] ssize_t n = ::write(STDERR_FILENO, text, sizeof text - 1);
        ::_exit(kExitFailed);
    }
}

// Installs the handler for SIGINT and SIGTERM for its lifetime.
class InterruptGuard {
  public:
    InterruptGuard() {
        interrupted.store(false);
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        ::sigaction(SIGINT, &action, &previousInt_);
        ::sigaction(SIGTERM, &action, &previousTerm_);
    }
    ~InterruptGuard() {
        ::sigaction(SIGINT, &previousInt_, nullptr);
        ::sigaction(SIGTERM, &previousTerm_, nullptr);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

  private:
    struct sigaction previousInt_ {};
    struct sigaction previousTerm_ {};
};

const Command& commandNamed(std::string_view name) {
    for (const Command& c : commands()) {
        if (name == c.name)
            return c;
    }
    return commands().front();
}

class TerminalSink : public SendingSink {
  public:
    explicit TerminalSink(int total) : total_(total) {}
    bool sendingShown() override { return true; }
    void setFileText(const std::string& fileName) override {
        std::lock_guard lock(mutex_);
        file_ = fileName;
    }
    void advanceStep() override {
        std::lock_guard lock(mutex_);
        ++step_;
    }
    void redrawPrinters() override {}
    void showFailure(int stringId, int code) override {
        std::lock_guard lock(mutex_);
        failure_ = message(stringId);
        if (code != 0)
            failure_ += " (" + std::to_string(code) + ")";
    }
    void finished(Operation outcome, bool canceled) override {
        std::lock_guard lock(mutex_);
        outcome_ = outcome;
        canceled_ = canceled;
    }
    std::string label() {
        std::lock_guard lock(mutex_);
        std::string text = file_;
        if (total_ > 1)
            text = std::to_string(step_) + "/" + std::to_string(total_) + " " + text;
        return text;
    }
    std::string failure() {
        std::lock_guard lock(mutex_);
        return failure_;
    }
    Operation outcome() {
        std::lock_guard lock(mutex_);
        return outcome_;
    }
    bool canceled() {
        std::lock_guard lock(mutex_);
        return canceled_;
    }

  private:
    std::mutex mutex_;
    int total_;
    int step_ = 1;
    std::string file_;
    std::string failure_;
    Operation outcome_ = Operation::None;
    bool canceled_ = false;
};

bool confirm(const Options& options, std::initializer_list<int> texts) {
    if (options.yes || !::isatty(STDIN_FILENO) || !::isatty(STDOUT_FILENO))
        return true;
    for (int id : texts)
        std::printf("%s\n\n", message(id).c_str());
    std::printf("[y/N] ");
    std::fflush(stdout);
    std::string answer;
    std::getline(std::cin, answer);
    return !answer.empty() && (answer[0] == 'y' || answer[0] == 'Y');
}

// Runs the request to its end; Ctrl-C cancels it.
int runDownload(SendRequest request, int steps, int successId, const std::string& fallbackLabel) {
    auto sink = std::make_shared<TerminalSink>(steps);
    sink->setFileText(fallbackLabel);
    ProgressBar bar;
    {
        InterruptGuard guard;
        SendingWorker worker(std::move(request), sink);
        while (worker.running()) {
            if (interrupted.load())
                worker.cancel();
            bar.show(sink->label(), worker.progress());
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        bar.show(sink->label(), worker.progress());
        worker.join();
    }
    bar.done();
    if (sink->canceled())
        return fail(kExitFailed, "canceled: the download did not finish");
    if (sink->outcome() == Operation::Failed)
        return fail(kExitFailed, sink->failure());
    std::printf("%s\n", message(successId).c_str());
    return kExitOk;
}

// Analyses the target and applies the checks every command makes: a
// printer that is not usable ends the command with the program's message.
std::shared_ptr<Printer> checkedPrinter(const Command& command, const std::string& target,
                                        int& code) {
    auto port = parseTarget(target);
    if (!port) {
        code = usageError(command, "not a printer address: '" + target + "'");
        return nullptr;
    }
    auto printer = std::make_shared<Printer>(target, *port);
    printer->analyseIfNeeded();
    switch (printer->effectiveState()) {
        case PrinterState::UpgradeAvailable:
        case PrinterState::UpToDate:
            return printer;
        case PrinterState::NotAnalysed:
            code = fail(kExitFailed, message(262));
            break;
        case PrinterState::NotReachable:
            code = fail(kExitFailed, message(259));
            break;
        case PrinterState::UnsupportedConnection:
            code = fail(kExitFailed, message(260));
            break;
        default:
            code = fail(kExitFailed, message(261));
            break;
    }
    return nullptr;
}

}  // namespace

// The shared start of upgrade and downgrade: options, the package, and a
// printer whose state allows a download. Null with the exit code otherwise.
std::shared_ptr<Printer> preparedPrinter(const char* name, const Args& args, std::size_t count,
                                         const char* expected, Options& options, int& code) {
    const Command& self = commandNamed(name);
    if (auto usage = parseOptions(self, args, options, {"--yes", "--package", "--community"})) {
        code = *usage;
        return nullptr;
    }
    if (options.positional.size() != count) {
        code = usageError(self, expected);
        return nullptr;
    }
    code = kExitFailed;
    if (!loadPackage(options))
        return nullptr;
    return checkedPrinter(self, options.positional[0], code);
}

int upgradeCommand(const Args& args) {
    Options options;
    int code = kExitFailed;
    auto printer = preparedPrinter("upgrade", args, 1, "expected one TARGET", options, code);
    if (!printer)
        return code;
    if (printer->effectiveState() == PrinterState::UpToDate) {
        std::printf("%s\n", message(255).c_str());
        return kExitOk;
    }
    if (!confirm(options, {191, 192, 193}))
        return fail(kExitFailed, "canceled");
    if (!printer->upgradeFilesPresent())
        return fail(kExitFailed, message(181));
    int steps = static_cast<int>(printer->upgradableCount());
    return runDownload({Operation::Upgrade, printer, nullptr, {}}, steps, 264, {});
}

int downgradeCommand(const Args& args) {
    Options options;
    int code = kExitFailed;
    auto printer = preparedPrinter("downgrade", args, 2, "expected TARGET VERSION", options, code);
    if (!printer)
        return code;
    const std::string& version = options.positional[1];
    if (equalsIgnoringCase(version, printer->versionText()))
        return fail(kExitFailed, message(255));
    if (!printer->versionFilePresent(printer->model(), version))
        return fail(kExitFailed, message(181));
    if (!confirm(options, {202, 203}))
        return fail(kExitFailed, "canceled");
    return runDownload({Operation::Downgrade, printer, nullptr, version}, 1, 254, version);
}

int sendCommand(const Args& args) {
    const Command& self = commandNamed("send");
    Options options;
    if (auto code = parseOptions(self, args, options, {"--yes", "--package", "--community"}))
        return *code;
    if (options.positional.size() != 2)
        return usageError(self, "expected TARGET FILE");
    auto port = parseTarget(options.positional[0]);
    if (!port)
        return usageError(self, "not a printer address: '" + options.positional[0] + "'");
    // Made whole before --package moves the working directory, and so that
    // the entry takes it as it stands rather than looking in the package.
    std::error_code error;
    const std::string file = std::filesystem::absolute(options.positional[1], error).string();
    if (error || ::access(file.c_str(), R_OK) != 0)
        return fail(kExitFailed, message(181) + " (" + options.positional[1] + ")");
    if (options.package)
        loadPackage(options);
    if (!confirm(options, {192}))
        return fail(kExitFailed, "canceled");
    // A forced download: the printer's state is not examined.
    auto printer = std::make_shared<Printer>(options.positional[0], *port);
    auto entry = std::make_shared<CatalogueEntry>("Forced", "Forced", file);
    return runDownload({Operation::SendFile, printer, entry, {}}, 1, 152, file);
}

}  // namespace upkeep::cli

namespace upkeep::cli {

int addProfileCommand(const Args& args) {
    const Command& self = commandNamed("add-profile");
    Options options;
    if (auto code = parseOptions(self, args, options, {"--yes"}))
        return *code;
    if (options.positional.size() != 2)
        return usageError(self, "expected TARGET FILE");
    auto port = parseTarget(options.positional[0]);
    if (!port)
        return usageError(self, "not a printer address: '" + options.positional[0] + "'");
    const std::string& file = options.positional[1];
    if (::access(file.c_str(), R_OK) != 0)
        return fail(kExitFailed, "cannot read '" + file + "'");
    auto printer = std::make_shared<Printer>(options.positional[0], *port);
    return runDownload({Operation::AddProfile, printer, nullptr, file}, 1, 240, file);
}

}  // namespace upkeep::cli
