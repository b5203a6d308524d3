#include "app/controllers/MainController.h"

#include "app/controllers/AutomaticAction.h"
#include "app/controllers/Texts.h"
#include "package/Environment.h"
#include "package/FirmwareCatalogue.h"
#include "printer/Identification.h"
#include "resources/Menus.h"

namespace upkeep::app {

MainController::MainController(MainView& view, std::shared_ptr<UiQueue> queue)
    : view_(view),
      queue_(queue),
      analysis_(view, queue, [this] { analysisEnded(); }),
      download_(view, queue, [this](const DownloadEnd& end) { downloadEnded(end); }) {}

MainController::~MainController() {
    shutdown();
}

void MainController::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    analysis_.shutdown();
    download_.shutdown();
}

std::shared_ptr<Printer> MainController::selectedPrinter() {
    std::optional<int> row = view_.selectedRow();
    if (!row)
        return nullptr;
    return findPrinter(view_.rowName(*row));
}

std::shared_ptr<Printer> MainController::findPrinter(const std::string& name) const {
    if (!printerList_)
        return nullptr;
    for (std::size_t i = 0; i < printerList_->count(); ++i) {
        std::shared_ptr<Printer> printer = printerList_->item(i);
        if (printer && printer->name() == name)
            return printer;
    }
    return nullptr;
}

bool MainController::operationBusy() const {
    return operation_ != Operation::None || download_.running();
}

bool MainController::runBusy(const std::function<void()>& work) {
    {
        struct Busy {
            explicit Busy(bool& flag) : flag_(flag) { flag_ = true; }
            ~Busy() { flag_ = false; }
            bool& flag_;
        } busy(busy_);
        view_.runBusy(work);
    }
    if (!closePending_)
        return true;
    // Nothing more is shown or started: the window goes.
    shutdown();
    view_.closeWindow();
    return false;
}

bool MainController::closeRequest() {
    if (!busy_)
        return true;
    closePending_ = true;
    return false;
}

void MainController::refuseWhileBusy() {
    // The exchange is bounded; the user learns why nothing happens.
    showInfo(310);
}

// ---- the list and its analysis ----------------------------------------------

void MainController::initialise() {
    view_.setViewChecks(viewAll_->load());
    later(&MainController::firstSearch);
}

void MainController::later(void (MainController::*handler)()) {
    queue_->post([alive = std::weak_ptr<int>(alive_), this, handler] {
        if (!alive.expired() && !shutDown_)
            (this->*handler)();
    });
}

void MainController::firstSearch() {
    analysis_.openSearching();
    if (Environment* environment = Environment::instance()) {
        analysis_.stop();
        // The spooler and the network may take long to answer: the
        // discovery runs off the window's thread.
        auto list = std::make_shared<PrinterList>();
        if (!runBusy([environment, list] { environment->findPrinters(*list); }) || shutDown_)
            return;
        printerList_ = list;
    }
    startAnalysis();
    // Said once: later walks go over the same list.
    if (printerList_ && printerList_->leftOut() > 0)
        view_.messageBox(MessageIcon::Warning,
                         countText(309, static_cast<long>(printerList_->leftOut())));
}

void MainController::startAnalysis() {
    if (!printerList_ || shutDown_)
        return;
    // The display of a download that has ended goes; a running download
    // keeps its display and its progress.
    download_.releaseIfEnded();
    analysis_.start(printerList_, viewAll_);
}

void MainController::viewChange(bool all) {
    viewAll_->store(all);
    view_.setViewChecks(all);
    startAnalysis();
}

void MainController::refresh() {
    const bool selected = view_.selectedRow().has_value();
    std::shared_ptr<Printer> chosen = selected ? selectedPrinter() : nullptr;
    analysis_.openSearching();
    if (!selected && printerList_) {
        for (std::size_t i = 0; i < printerList_->count(); ++i) {
            if (std::shared_ptr<Printer> printer = printerList_->item(i))
                printer->reset();
        }
    } else if (chosen) {
        chosen->reset();
    }
    startAnalysis();
}

void MainController::addPrinter(std::shared_ptr<Printer> printer) {
    if (!printerList_)
        printerList_ = std::make_shared<PrinterList>();
    const std::string name = printer->name();
    if (!printerList_->add(std::move(printer))) {
        view_.messageBox(MessageIcon::Warning, fillTemplate(resources::text(311), {name}));
        return;
    }
    startAnalysis();
}

void MainController::analysisEnded() {
    if (busy_) {
        // Taken once the exchange has ended and the flow that waited on it
        // has gone on (the first search has started its walk by then).
        later(&MainController::analysisEnded);
        return;
    }
    analysis_.end();
    // Only the analysis ends here: a running download goes on, and its
    // operation stays until its own end is handled.
    if (!download_.running())
        operation_ = Operation::None;
    if (userDeclined_ || !autoPending_)
        return;
    autoPending_ = false;
    userDeclined_ = false;
    runAutomaticAction();
}

void MainController::userActed() {
    // What the program would do by itself after the first search must not
    // come on top of, or instead of, what the user chose meanwhile.
    autoPending_ = false;
}

void MainController::runAutomaticAction() {
    std::vector<std::string> rows;
    for (int i = 0; i < view_.rowCount(); ++i)
        rows.push_back(view_.rowName(i));
    std::vector<PrinterState> states;
    for (std::size_t i = 0; printerList_ && i < printerList_->count(); ++i) {
        if (std::shared_ptr<Printer> printer = printerList_->item(i))
            states.push_back(printer->effectiveState());
    }
    const AutomaticAction action = automaticAction(startOptions_, rows, states);
    // A printer named at start-up is asked for once.
    if (startOptions_.firmwareMode == 1)
        startOptions_.argument.assign("");
    using Kind = AutomaticAction::Kind;
    switch (action.kind) {
        case Kind::UpgradePrinter:
            if (std::shared_ptr<Printer> printer = findPrinter(action.printer))
                firmware_.upgradePrinter(printer);
            break;
        case Kind::AddProfile:
            if (std::shared_ptr<Printer> printer = findPrinter(action.printer))
                media_.addMediaProfile(printer, action.file);
            break;
        case Kind::Message:
            showInfo(action.messageId);
            break;
        case Kind::Nothing:
            break;
    }
}

// ---- the download -------------------------------------------------------------

void MainController::startDownload(DownloadOrder order) {
    operation_ = order.operation;
    SendRequest request{order.operation, std::move(order.printer), std::move(order.entry),
                        std::move(order.text)};
    request.recordHistory = true;  // the window verifies nothing: the worker records
    download_.start(std::move(request), 1, order.total);
}

void MainController::startRequestDone() {
    startOptions_.mediaMode = 0;
    startOptions_.firmwareMode = 0;
    startOptions_.argument.assign("");
}

void MainController::downloadEnded(const DownloadEnd& end) {
    if (!end.canceled) {
        if (end.refusal.problem != TrustProblem::None) {
            view_.messageBox(MessageIcon::Warning, refusalText(end.refusal));
        } else if (end.outcome == Operation::Failed) {
            showWarning(end.failureId, end.failureCode);
        } else if (operation_ == Operation::Upgrade) {
            showInfo(264);
        } else if (operation_ == Operation::Downgrade) {
            showInfo(254);
        } else if (operation_ == Operation::AddProfile) {
            showInfo(240);
        }
    }
    startAnalysis();
    operation_ = Operation::None;
}

void MainController::progressTick() {
    download_.progressTick();
}

// ---- commands -----------------------------------------------------------------

std::string MainController::packageState() const {
    const FirmwareCatalogue* catalogue = analysisCatalogue();
    return catalogue && catalogue->notLoaded() == 0 ? packageStateText(catalogue->trust())
                                                    : std::string();
}

void MainController::command(int commandId) {
    // While a printer is asked off the window's thread, Exit waits for the
    // exchange to end and any other command is refused.
    if (busy_) {
        if (commandId == resources::command::kFileExit)
            closeRequest();
        else
            refuseWhileBusy();
        return;
    }
    userActed();
    namespace cmd = resources::command;
    switch (commandId) {
        case cmd::kFileNew:
            media_.fileNew();
            break;
        case cmd::kFileExit:
            view_.closeWindow();
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
            firmware_.upgradeCommand();
            break;
        case cmd::kSystemDowngrade:
            firmware_.downgradeCommand();
            break;
        case cmd::kSystemEmergency:
            firmware_.emergencyCommand();
            break;
        case cmd::kMediaAddProfiles:
            media_.addMediaProfileCommand();
            break;
        case cmd::kMediaViewProfiles:
            media_.viewMediaProfilesCommand();
            break;
        case cmd::kHelpContents:
            media_.helpContents();
            break;
        case cmd::kHelpAbout:
            view_.aboutDialog(packageState());
            break;
        case cmd::kCommunityName:
            media_.communityName();
            break;
        default:
            break;
    }
}

void MainController::doubleClick() {
    if (busy_) {
        refuseWhileBusy();
        return;
    }
    userActed();
    if (startOptions_.mediaMode == 0) {
        firmware_.upgradeCommand();
        return;
    }
    const std::string argument = startOptions_.argument.str();
    if (argument.empty()) {
        media_.addMediaProfileCommand();
        return;
    }
    std::shared_ptr<Printer> printer = selectedPrinter();
    if (!printer) {
        showInfo(263);
        return;
    }
    media_.addMediaProfile(printer, argument);
}

}  // namespace upkeep::app
