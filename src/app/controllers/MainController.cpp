#include "app/controllers/MainController.h"

#include <algorithm>

#include "app/controllers/Texts.h"
#include "media/MediaProfileList.h"
#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"
#include "printer/Community.h"
#include "printer/Identification.h"
#include "printer/SendingStatus.h"
#include "resources/Menus.h"
#include "resources/Strings.h"

namespace upkeep::app {

using resources::text;

// The analysis worker's reports, queued onto the user-interface thread and
// dropped there unless they belong to the current analysis.
class MainController::Analysis final : public AnalysisSink {
  public:
    Analysis(MainController& owner, unsigned generation)
        : queue_(owner.queue_),
          alive_(owner.alive_),
          owner_(&owner),
          generation_(generation),
          shown_(owner.searchingShown_) {}

    void clearRows() override {
        post([](MainController& c) { c.view_.clearRows(); });
    }
    bool searchingShown() override { return shown_->load(); }
    void setCounter(int count) override {
        post([count](MainController& c) {
            if (c.searching_)
                c.searching_->setCounter(std::to_string(count));
        });
    }
    void setPrinterName(const std::string& name) override {
        post([name](MainController& c) {
            if (c.searching_)
                c.searching_->setPrinterName(name);
        });
    }
    void repaintSearching() override {
        post([](MainController& c) { c.repaintSearching(); });
    }
    void insertRow(const AnalysisRow& row) override {
        post([row](MainController& c) {
            int position = std::min(static_cast<int>(row.position), c.view_.rowCount());
            c.view_.insertRow(position, ListRow{row.icon, row.name, text(row.stateStringId),
                                                row.modelText, row.versionText});
        });
    }
    void finished() override {
        post([](MainController& c) { c.analysisFinished(); });
    }

  private:
    template <typename F>
    void post(F f) {
        queue_->post([alive = alive_, owner = owner_, generation = generation_, f] {
            if (alive.expired() || owner->shutDown_ || owner->analysisGeneration_ != generation)
                return;
            f(*owner);
        });
    }

    std::shared_ptr<UiQueue> queue_;
    std::weak_ptr<int> alive_;
    MainController* owner_;
    unsigned generation_;
    std::shared_ptr<std::atomic<bool>> shown_;
};

// The sending worker's reports. A failure is shown just before the end is
// handled, as the worker's own message box came before its completion.
class MainController::Sending final : public SendingSink {
  public:
    Sending(MainController& owner, unsigned generation)
        : queue_(owner.queue_),
          alive_(owner.alive_),
          owner_(&owner),
          generation_(generation),
          shown_(owner.sendingShown_) {}

    bool sendingShown() override { return shown_->load(); }
    void setFileText(const std::string& fileName) override {
        post([fileName](MainController& c) {
            c.sendingFile_ = fileName;
            c.updateStatusLine();
        });
    }
    void advanceStep() override {
        post([](MainController& c) {
            ++c.sendingStep_;
            c.updateStatusLine();
        });
    }
    void redrawPrinters() override {
        post([](MainController& c) { c.view_.redrawRows(); });
    }
    void showFailure(int stringId, int code) override {
        failureId_ = stringId;
        failureCode_ = code;
    }
    void finished(Operation outcome, bool /*canceled*/) override {
        post([generation = generation_, outcome, id = failureId_, code = failureCode_](
                 MainController& c) { c.sendingEnded(generation, outcome, id, code); });
    }

  private:
    template <typename F>
    void post(F f) {
        queue_->post([alive = alive_, owner = owner_, generation = generation_, f] {
            if (alive.expired() || owner->shutDown_ || owner->sendingGeneration_ != generation)
                return;
            f(*owner);
        });
    }

    std::shared_ptr<UiQueue> queue_;
    std::weak_ptr<int> alive_;
    MainController* owner_;
    unsigned generation_;
    std::shared_ptr<std::atomic<bool>> shown_;
    // Written and read on the worker's thread only.
    int failureId_ = 0;
    int failureCode_ = 0;
};

MainController::MainController(MainView& view, std::shared_ptr<UiQueue> queue)
    : view_(view), queue_(std::move(queue)) {}

MainController::~MainController() {
    shutdown();
}

void MainController::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    view_.stopProgressTimer();
    if (analysis_) {
        analysis_->stop();
        analysis_.reset();
    }
    // Cancels and joins; its last reports are dropped (shutDown_).
    sending_.reset();
    releaseSearching();
    releaseSending();
}

// ---- helpers ---------------------------------------------------------------

void MainController::showInfo(int stringId) {
    view_.messageBox(MessageIcon::Information, text(stringId));
}

void MainController::showWarning(int stringId, int code) {
    view_.messageBox(MessageIcon::Warning, messageText(stringId, code));
}

std::shared_ptr<Printer> MainController::selectedPrinter() {
    std::optional<int> row = view_.selectedRow();
    if (!row)
        return nullptr;
    return findPrinter(view_.rowName(*row));
}

std::shared_ptr<Printer> MainController::findPrinter(const std::string& name) const {
    if (!printerList)
        return nullptr;
    for (std::size_t i = 0; i < printerList->count(); ++i) {
        std::shared_ptr<Printer> printer = printerList->item(i);
        if (printer && printer->name() == name)
            return printer;
    }
    return nullptr;
}

bool MainController::operationBusy() const {
    return operation.load() != Operation::None || downloadRunning();
}

void MainController::releaseSearching() {
    searchingShown_->store(false);
    if (searching_ && !searchingClosed_)
        searching_->close();
    searching_.reset();
    searchingClosed_ = false;
}

void MainController::releaseSending() {
    sendingShown_->store(false);
    if (sendingDisplay_ && !sendingClosed_)
        sendingDisplay_->close();
    sendingDisplay_.reset();
    sendingClosed_ = false;
}

void MainController::updateStatusLine() {
    if (!sendingDisplay_ || sendingClosed_)
        return;
    sendingDisplay_->setStatusLine(
        sendingStatusLine(text(230), sendingStep_, sendingTotal_, sendingFile_));
    sendingDisplay_->repaint();
}

// ---- analysis --------------------------------------------------------------

void MainController::startAnalysis() {
    if (!printerList || shutDown_)
        return;
    // The display of a download that has ended goes; a running download
    // keeps its display and its progress.
    if (sendingDisplay_ && !downloadRunning()) {
        releaseSending();
        view_.stopProgressTimer();
    }
    if (analysis_) {
        analysis_->stop();
        analysis_.reset();
    }
    cancelFlag.store(0);
    ++analysisGeneration_;
    analysis_ = std::make_unique<AnalysisWorker>(
        printerList, std::make_shared<Analysis>(*this, analysisGeneration_), viewAll);
}

void MainController::initialise() {
    view_.setViewChecks(viewAll->load());
    queue_->post([alive = std::weak_ptr<int>(alive_), this] {
        if (!alive.expired() && !shutDown_)
            firstSearch();
    });
}

void MainController::firstSearch() {
    releaseSearching();
    searching_ = view_.openSearching([this] {
        searchingClosed_ = true;
        analysisFinished();
    });
    searchingShown_->store(searching_ != nullptr);
    if (Environment* environment = Environment::instance()) {
        if (analysis_) {
            analysis_->stop();
            analysis_.reset();
        }
        printerList = std::make_shared<PrinterList>();
        environment->findPrinters(*printerList);
    }
    startAnalysis();
}

void MainController::viewChange(bool all) {
    viewAll->store(all);
    view_.setViewChecks(all);
    startAnalysis();
}

void MainController::refresh() {
    const bool selected = view_.selectedRow().has_value();
    std::shared_ptr<Printer> chosen = selected ? selectedPrinter() : nullptr;
    releaseSearching();
    searching_ = view_.openSearching([this] {
        searchingClosed_ = true;
        analysisFinished();
    });
    searchingShown_->store(searching_ != nullptr);
    if (!selected) {
        if (printerList) {
            for (std::size_t i = 0; i < printerList->count(); ++i) {
                if (std::shared_ptr<Printer> printer = printerList->item(i))
                    printer->reset();
            }
        }
    } else if (chosen) {
        chosen->reset();
    }
    startAnalysis();
}

void MainController::repaintSearching() {
    if (searching_ && !searchingClosed_)
        searching_->repaint();
}

void MainController::analysisFinished() {
    releaseSearching();
    cancelFlag.store(1);
    if (analysis_)
        analysis_->cancel();
    // Only the analysis ends here: a running download goes on, and its
    // operation stays until its own end is handled.
    if (!downloadRunning())
        operation.store(Operation::None);
    if (userDeclined || !autoPending)
        return;
    autoPending = 0;
    userDeclined = 0;
    const std::string argument = startOptions.argument.str();

    if (startOptions.firmwareMode == 1 && !argument.empty()) {
        startOptions.argument.assign("");
        if (std::shared_ptr<Printer> printer = findPrinter(argument))
            upgradePrinter(printer);
        return;
    }
    const int rows = view_.rowCount();
    if (rows == 0) {
        showInfo(253);
        return;
    }
    if (rows == 1) {
        std::shared_ptr<Printer> printer = findPrinter(view_.rowName(0));
        if (!printer)
            return;
        if (startOptions.firmwareMode != 0) {
            upgradePrinter(printer);
        } else if (startOptions.mediaMode != 0 && !argument.empty()) {
            addMediaProfile(printer, argument);
        }
        return;
    }
    bool upgradable = false;
    for (std::size_t i = 0; printerList && i < printerList->count(); ++i) {
        std::shared_ptr<Printer> printer = printerList->item(i);
        if (printer && printer->effectiveState() == PrinterState::UpgradeAvailable)
            upgradable = true;
    }
    if (startOptions.mediaMode != 0) {
        showInfo(252);
    } else {
        showInfo(upgradable ? 250 : 251);
    }
}

// ---- download --------------------------------------------------------------

void MainController::startSending(int step, int total) {
    releaseSending();
    sendingStep_ = step;
    sendingTotal_ = total;
    sendingFile_.clear();
    sendingDisplay_ = view_.openSending([this] { sendingCanceled(); });
    sendingShown_->store(sendingDisplay_ != nullptr);
    updateStatusLine();
    cancelFlag.store(0);
    progressPercent.store(0);
    if (sendingDisplay_)
        sendingDisplay_->setProgress(0);
    view_.startProgressTimer();
    ++sendingGeneration_;
    sendingCancelHandled_ = false;
    SendRequest request{operation.load(), targetPrinter, targetEntry, sendText.str()};
    request.recordHistory = true;  // the window verifies nothing: the worker records
    sending_ = std::make_unique<SendingWorker>(
        std::move(request), std::make_shared<Sending>(*this, sendingGeneration_));
}

void MainController::sendingCanceled() {
    sendingClosed_ = true;
    if (sendingDisplay_)
        sendingDisplay_->close();
    if (sending_)
        sendingCancelHandled_ = true;
    downloadFinished(1);
}

void MainController::sendingEnded(unsigned generation, Operation outcome, int failureId,
                                  int failureCode) {
    if (generation != sendingGeneration_)
        return;
    if (sending_) {
        sending_->join();  // its report was its last act
        // The timer may last have looked before the final block.
        progressPercent.store(sending_->progress());
        sending_.reset();
    }
    if (sendingCancelHandled_) {
        // The Cancel already ran the end of this download.
        sendingCancelHandled_ = false;
        return;
    }
    if (outcome == Operation::Failed) {
        operation.store(Operation::Failed);
        showWarning(failureId, failureCode);
    }
    downloadFinished(0);
}

void MainController::downloadFinished(int w) {
    view_.stopProgressTimer();
    cancelFlag.store(1);
    if (w == 1 && sending_)
        sending_->cancel();
    if (sendingDisplay_ && !sendingClosed_)
        sendingDisplay_->repaint();
    if (w == 0) {
        switch (operation.load()) {
            case Operation::Upgrade:
                showInfo(264);
                break;
            case Operation::Downgrade:
                showInfo(254);
                break;
            case Operation::AddProfile:
                showInfo(240);
                break;
            default:
                break;
        }
    }
    releaseSending();
    startAnalysis();
    operation.store(Operation::None);
}

void MainController::progressTick() {
    if (sending_)
        progressPercent.store(sending_->progress());
    if (sendingDisplay_ && !sendingClosed_)
        sendingDisplay_->setProgress(progressPercent.load());
}

// ---- commands and flows ----------------------------------------------------

void MainController::command(int commandId) {
    namespace cmd = resources::command;
    switch (commandId) {
        case cmd::kFileNew:
            fileNew();
            break;
        case cmd::kFileExit:
            exit();
            break;
        case cmd::kViewAllPrinters:
            viewChange(true);
            break;
        case cmd::kViewSupportedPrinters:
            viewChange(false);
            break;
        case cmd::kViewRefresh:
            refresh();
            break;
        case cmd::kSystemUpgrade:
            upgradeCommand();
            break;
        case cmd::kMediaAddProfiles:
            addMediaProfileCommand();
            break;
        case cmd::kMediaViewProfiles:
            viewMediaProfilesCommand();
            break;
        case cmd::kSystemDowngrade:
            downgradeCommand();
            break;
        case cmd::kSystemEmergency:
            emergencyCommand();
            break;
        case cmd::kHelpContents:
            helpContents();
            break;
        case cmd::kHelpAbout:
            view_.aboutDialog();
            break;
        case cmd::kCommunityName:
            communityName();
            break;
        default:
            break;
    }
}

void MainController::doubleClick() {
    if (startOptions.mediaMode != 0) {
        const std::string argument = startOptions.argument.str();
        if (argument.empty()) {
            command(resources::command::kMediaAddProfiles);
            return;
        }
        std::shared_ptr<Printer> printer = selectedPrinter();
        if (!printer) {
            showInfo(263);
            return;
        }
        addMediaProfile(printer, argument);
        return;
    }
    upgradeCommand();
}

void MainController::exit() {
    view_.closeWindow();
}

bool MainController::checkPrinter(Printer& printer) {
    if (printer.state() == PrinterState::NotAnalysed)
        printer.versionText();
    switch (printer.effectiveState()) {
        case PrinterState::UpgradeAvailable:
        case PrinterState::UpToDate:
            return true;
        case PrinterState::NotAnalysed:
            showWarning(262, 0);
            return false;
        case PrinterState::NotReachable:
            showWarning(259, 0);
            return false;
        case PrinterState::Unsupported:
            showWarning(261, 0);
            return false;
        case PrinterState::UnsupportedConnection:
            showWarning(260, 0);
            return false;
        default:
            return false;
    }
}

void MainController::upgradeCommand() {
    std::shared_ptr<Printer> printer = selectedPrinter();
    if (!printer) {
        showInfo(263);
        return;
    }
    if (view_.ctrlHeld()) {
        std::optional<std::string> file = view_.chooseFile(FileKind::SystemSoftware);
        if (!file)
            return;
        if (std::shared_ptr<CatalogueEntry> entry = chosenFileEntry("Forced", *file))
            startForcedDownload(printer, std::move(entry));
        return;
    }
    if (!checkPrinter(*printer))
        return;
    upgradePrinter(printer);
}

void MainController::upgradePrinter(const std::shared_ptr<Printer>& printer) {
    auto address = [&] {
        return supportPageAddress(analysisCatalogue(), printer->versionText(),
                                  printer->modelText());
    };
    switch (printer->effectiveState()) {
        case PrinterState::UpgradeAvailable: {
            if (operationBusy()) {
                showInfo(267);
                return;
            }
            if (!view_.wizardPage(190, 191, 192, 193)) {
                userDeclined = 1;
                return;
            }
            if (!printer->upgradeFilesPresent()) {
                if (view_.webLink(181, 185, address()) && view_.openUrl(address()))
                    view_.closeWindow();
                return;
            }
            targetPrinter = printer;
            operation.store(Operation::Upgrade);
            startSending(1, static_cast<int>(printer->upgradableCount()));
            return;
        }
        case PrinterState::UpToDate:
            if (view_.webLink(0, 182, address()) && view_.openUrl(address()))
                view_.closeWindow();
            return;
        default:
            showInfo(253);
            return;
    }
}

void MainController::startForcedDownload(const std::shared_ptr<Printer>& printer,
                                         std::shared_ptr<CatalogueEntry> entry) {
    if (operationBusy()) {
        showInfo(267);
        return;
    }
    targetPrinter = printer;
    targetEntry = std::move(entry);
    operation.store(Operation::SendFile);
    startSending(1, 1);
}

void MainController::addMediaProfile(const std::shared_ptr<Printer>& printer,
                                     const std::string& file) {
    if (operationBusy()) {
        showInfo(267);
        return;
    }
    // The name is kept in a 256-byte field; a longer one would name
    // another file, so it is refused rather than cut.
    if (file.size() > decltype(sendText)::kCapacity) {
        showWarning(258, 0);
        return;
    }
    sendText.assign(file);
    startOptions.mediaMode = 0;
    startOptions.firmwareMode = 0;
    startOptions.argument.assign("");
    targetPrinter = printer;
    operation.store(Operation::AddProfile);
    startSending(1, 1);
}

std::shared_ptr<CatalogueEntry> MainController::chosenFileEntry(const std::string& label,
                                                                const std::string& file) {
    // A path longer than an entry can hold would name another file once
    // cut, so it is refused.
    if (file.size() > CatalogueEntry::FileNameText::kCapacity) {
        showWarning(181, 0);
        return nullptr;
    }
    return std::make_shared<CatalogueEntry>(label, label, file);
}

void MainController::downgradeCommand() {
    std::shared_ptr<Printer> printer = selectedPrinter();
    if (!printer) {
        showInfo(263);
        return;
    }
    if (!checkPrinter(*printer))
        return;
    // A catalogue version may be longer than a list line of the original
    // dialog (79 characters); it is offered whole, since a cut text would
    // name no version of the catalogue and the downgrade could only fail.
    std::vector<std::string> versions;
    if (std::unique_ptr<EntryIterator> entries = printer->versions()) {
        while (versions.size() < kMaxVersions) {
            CatalogueEntry* entry = entries->next();
            if (!entry)
                break;
            versions.push_back(entry->version().str());
        }
    }
    std::optional<std::string> chosen = view_.versionDialog(versions);
    if (!chosen)
        return;
    if (operationBusy()) {
        showInfo(267);
        return;
    }
    if (!view_.wizardPage(200, 202, 203, 0))
        return;
    if (equalsIgnoringCase(*chosen, printer->versionText())) {
        showInfo(255);
        return;
    }
    if (!printer->versionFilePresent(printer->model(), *chosen)) {
        showWarning(181, 0);
        return;
    }
    targetPrinter = printer;
    sendText.assign(*chosen);
    operation.store(Operation::Downgrade);
    startSending(1, 1);
}

void MainController::emergencyCommand() {
    if (!view_.wizardPage(210, 214, 211, 212))
        return;
    std::optional<std::string> file = view_.chooseFile(FileKind::SystemSoftware);
    if (!file)
        return;
    std::shared_ptr<CatalogueEntry> entry = chosenFileEntry("Emergency", *file);
    if (!entry)
        return;
    // Not in the printer list: targetPrinter and targetEntry keep both alive
    // until the next operation replaces them.
    auto printer = std::make_shared<Printer>(
        "Emergency", PortDescriptor("", PortType::Parallel, channel::kUnset));
    startForcedDownload(printer, std::move(entry));
}

void MainController::addMediaProfileCommand() {
    std::shared_ptr<Printer> printer = selectedPrinter();
    if (!printer) {
        showInfo(263);
        return;
    }
    if (std::optional<std::string> file = view_.chooseFile(FileKind::MediaProfile))
        addMediaProfile(printer, *file);
}

namespace {

std::string trimmed(const std::string& text) {
    // Blanks of every kind: a listed line still carries its line end.
    constexpr const char* kBlanks = " \t\r\n\f\v";
    const auto first = text.find_first_not_of(kBlanks);
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(kBlanks);
    return text.substr(first, last - first + 1);
}

}  // namespace

void MainController::viewMediaProfilesCommand() {
    std::shared_ptr<Printer> printer = selectedPrinter();
    if (!printer) {
        showInfo(263);
        return;
    }
    std::unique_ptr<ProfileListDisplay> dialog = view_.openProfileList();
    if (!dialog) {
        // Nothing could show the answer, so the printer is not asked.
        view_.messageBox(MessageIcon::Warning, resources::fixed::kDialogCreationError);
        return;
    }
    dialog->addLine(std::string(text(223)) + "...");
    dialog->repaint();
    // Short on a network printer; a printer asked by a PJL job holds the
    // windows for its reply time.
    std::shared_ptr<MediaProfileList> listing = printer->prepareListing();
    MediaProfileList& profiles = *listing;
    const std::size_t count = profiles.count();
    if (!profiles.reached()) {
        dialog->addLine(text(259));
    } else if (count == 0) {
        dialog->addLine(text(265));
    } else {
        dialog->clearLines();
        for (std::size_t i = 0; i < count; ++i)
            dialog->addLine(trimmed(profiles.entry(i)));
    }
    dialog->runModal();
}

void MainController::fileNew() {
    for (;;) {
        std::optional<AddressAnswer> answer = view_.addressDialog();
        if (!answer)
            return;
        if (answer->kind == 0 && !tcpIpAddressPasses(answer->text)) {
            showWarning(266, 0);
            continue;
        }
        PortDescriptor port(answer->text, answer->kind == 0 ? PortType::TcpIp : PortType::IpxSpx,
                            channel::kUnset);
        if (!printerList)
            printerList = std::make_shared<PrinterList>();
        printerList->add(std::make_shared<Printer>(answer->text, port));
        startAnalysis();
        return;
    }
}

void MainController::communityName() {
    std::string current = community().substr(0, 64);
    if (std::optional<std::string> answer = view_.communityDialog(current))
        setCommunity(answer->substr(0, 64));
}

void MainController::helpContents() {
    view_.informationDialog(informationText());
}

}  // namespace upkeep::app
