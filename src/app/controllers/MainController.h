#pragma once
// The main window without its widgets: the fields the workers share with
// it, the handlers of its commands and messages, and the upgrade flow. It
// runs on the user-interface thread only; the workers reach it through
// calls queued on a UiQueue, each tagged with the run it belongs to, so a
// stopped or abandoned worker can never reach a newer list or display.

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "app/controllers/UiQueue.h"
#include "app/controllers/Views.h"
#include "package/CatalogueEntry.h"
#include "package/StartOptions.h"
#include "platform/FixedText.h"
#include "printer/AnalysisWorker.h"
#include "printer/PrinterList.h"
#include "printer/SendingWorker.h"

namespace upkeep::app {

class MainController {
  public:
    // The version dialog offers at most this many versions.
    static constexpr std::size_t kMaxVersions = 64;

    MainController(MainView& view, std::shared_ptr<UiQueue> queue);
    ~MainController();  // shutdown()
    MainController(const MainController&) = delete;
    MainController& operator=(const MainController&) = delete;

    // The fields the window shares with its workers and flows.
    std::uint32_t autoPending = 1;
    std::shared_ptr<std::atomic<bool>> viewAll = std::make_shared<std::atomic<bool>>(false);
    // Non-zero once the running analysis was asked to stop. Each worker has
    // its own cancel word besides: ending an analysis never stops a download.
    std::atomic<int> cancelFlag{0};
    std::atomic<Operation> operation{Operation::None};
    FixedText<256> sendText;
    std::atomic<int> progressPercent{0};
    std::uint32_t userDeclined = 0;
    StartOptions startOptions;
    std::shared_ptr<Printer> targetPrinter;
    std::shared_ptr<CatalogueEntry> targetEntry;
    std::shared_ptr<PrinterList> printerList;

    void setStartOptions(const StartOptions& options) { startOptions = options; }

    // Handlers.
    void initialise();  // queues the first search
    void firstSearch();
    void command(int commandId);
    void viewChange(bool all);
    void refresh();
    void analysisFinished();
    // w 1: the Sending dialog's Cancel (no success message).
    void downloadFinished(int w);
    void repaintSearching();
    void progressTick();
    void doubleClick();
    void exit();

    // Helpers.
    void showInfo(int stringId);
    void showWarning(int stringId, int code);
    std::shared_ptr<Printer> selectedPrinter();
    std::shared_ptr<Printer> findPrinter(const std::string& name) const;
    void startAnalysis();

    // Flows.
    void upgradeCommand();
    bool checkPrinter(Printer& printer);
    void upgradePrinter(const std::shared_ptr<Printer>& printer);
    void startForcedDownload(const std::shared_ptr<Printer>& printer,
                             std::shared_ptr<CatalogueEntry> entry);
    void addMediaProfile(const std::shared_ptr<Printer>& printer, const std::string& file);
    void downgradeCommand();
    void emergencyCommand();
    void addMediaProfileCommand();
    void viewMediaProfilesCommand();
    void fileNew();
    void communityName();
    void helpContents();

    // A download was started and its worker has not been reaped yet.
    bool downloadRunning() const { return sending_ != nullptr; }
    bool analysisRunning() const { return analysis_ && analysis_->running(); }
    bool searchingOpen() const { return searching_ != nullptr; }
    bool sendingOpen() const { return sendingDisplay_ != nullptr; }

    // Stops the workers (the analysis is joined or abandoned, the download
    // canceled and joined) and releases the displays. Safe to call twice.
    void shutdown();

  private:
    class Analysis;
    class Sending;

    void startSending(int step, int total);
    void sendingCanceled();
    void sendingEnded(unsigned generation, Operation outcome, int failureId, int failureCode);
    void releaseSearching();
    void releaseSending();
    void updateStatusLine();
    bool operationBusy() const;
    // An entry for a file the user chose; null (after a warning) when the
    // path is longer than an entry holds.
    std::shared_ptr<CatalogueEntry> chosenFileEntry(const std::string& label,
                                                    const std::string& file);

    MainView& view_;
    std::shared_ptr<UiQueue> queue_;
    // Queued calls hold it weakly and drop themselves once it is gone.
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);

    std::unique_ptr<AnalysisWorker> analysis_;
    unsigned analysisGeneration_ = 0;
    std::shared_ptr<std::atomic<bool>> searchingShown_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<SearchingDisplay> searching_;
    bool searchingClosed_ = false;

    std::unique_ptr<SendingWorker> sending_;
    unsigned sendingGeneration_ = 0;
    bool sendingCancelHandled_ = false;
    std::shared_ptr<std::atomic<bool>> sendingShown_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<SendingDisplay> sendingDisplay_;
    bool sendingClosed_ = false;
    int sendingStep_ = 1;
    int sendingTotal_ = 1;
    std::string sendingFile_;
    bool shutDown_ = false;
};

}  // namespace upkeep::app
