#pragma once
// The main window without its widgets: its commands, the analysis and the
// download it runs, the automatic action after the first analysis, and the
// state they share. It runs on the user-interface thread only; the workers
// reach it through calls queued on a UiQueue.

#include <atomic>
#include <memory>
#include <string>

#include "app/controllers/AnalysisSession.h"
#include "app/controllers/DownloadSession.h"
#include "app/controllers/FirmwareFlows.h"
#include "app/controllers/MediaCommands.h"
#include "app/controllers/UiQueue.h"
#include "app/controllers/Views.h"
#include "app/controllers/WindowContext.h"
#include "package/StartOptions.h"
#include "printer/PrinterList.h"

namespace upkeep::app {

class MainController final : private WindowContext {
  public:
    MainController(MainView& view, std::shared_ptr<UiQueue> queue);
    ~MainController() override;  // shutdown()
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    void setStartOptions(const StartOptions& options) { startOptions_ = options; }
    // Queues the first search.
    void initialise();
    // A menu command (or its shortcut), by command id.
    void command(int commandId);
    void doubleClick();
    // The close box, Escape, Enter or the Exit button: true when the window
    // may close now; during a printer exchange, false, and it closes as
    // soon as the exchange has ended.
    bool closeRequest();
    // Timer 1.
    void progressTick();
    // Stops the workers (the analysis joined or abandoned, the download
    // canceled and joined) and releases the displays. Safe to call twice.
    void shutdown();

    bool analysisRunning() const { return analysis_.running(); }
    // A download was started and its worker has not been reaped yet.
    bool downloadRunning() const { return download_.running(); }
    bool searchingOpen() const { return analysis_.searchingOpen(); }
    bool sendingOpen() const { return download_.displayOpen(); }
    // The first analysis has not ended yet, and the user has not acted.
    bool automaticActionPending() const { return autoPending_; }

  private:
    // WindowContext.
    MainView& view() override { return view_; }
    std::shared_ptr<Printer> selectedPrinter() override;
    bool operationBusy() const override;
    void startDownload(DownloadOrder order) override;
    bool runBusy(const std::function<void()>& work) override;
    bool showAsked(const std::string& printerName) override {
        return analysis_.showPrinter(printerName);
    }
    void upgradeDeclined() override { userDeclined_ = true; }
    void startRequestDone() override;
    void addPrinter(std::shared_ptr<Printer> printer) override;

    void firstSearch();
    void viewChange(bool all);
    void refresh();
    void startAnalysis();
    void analysisEnded();
    void refuseWhileBusy();
    void downloadEnded(const DownloadEnd& end);
    void runAutomaticAction();
    // A command or a double-click: the automatic action is dropped.
    void userActed();
    std::shared_ptr<Printer> findPrinter(const std::string& name) const;
    // What the version dialog says of the package; empty without one.
    std::string packageState() const;
    // Runs the handler from the queue, unless the window has gone by then.
    void later(void (MainController::*handler)());

    MainView& view_;
    std::shared_ptr<UiQueue> queue_;
    // Queued calls hold it weakly and drop themselves once it is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    StartOptions startOptions_;
    bool autoPending_ = true;
    bool userDeclined_ = false;
    // Read by the analysis worker as it walks.
    std::shared_ptr<std::atomic<bool>> viewAll_ = std::make_shared<std::atomic<bool>>(false);
    std::shared_ptr<PrinterList> printerList_;
    // The running download's operation; its printer, entry and text are
    // the worker's own (its request), which keeps them alive while it runs.
    Operation operation_ = Operation::None;

    // A printer exchange runs off the window's thread: commands are
    // refused with a word why, a close is taken once it has ended, and an
    // end of the analysis asked for meanwhile is queued.
    bool busy_ = false;
    bool closePending_ = false;
    bool shutDown_ = false;

    AnalysisSession analysis_;
    DownloadSession download_;
    FirmwareFlows firmware_{*this};
    MediaCommands media_{*this};
};

}  // namespace upkeep::app
