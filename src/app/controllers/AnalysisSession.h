#pragma once
// The analysis of the printer list as the main window runs it: one walk at a
// time, the Searching dialog, and the walk's reports carried onto the
// user-interface thread, where those of a stopped or replaced walk are
// dropped.

#include <atomic>
#include <functional>
#include <memory>

#include "app/controllers/UiQueue.h"
#include "app/controllers/Views.h"
#include "printer/AnalysisWorker.h"

namespace upkeep::app {

class AnalysisSession {
  public:
    // onEnd runs on the user-interface thread when a walk reached the end
    // of its list or the user canceled the Searching dialog.
    AnalysisSession(MainView& view, std::shared_ptr<UiQueue> queue, std::function<void()> onEnd);
    ~AnalysisSession();  // shutdown()
    AnalysisSession(const AnalysisSession&) = delete;
    AnalysisSession& operator=(const AnalysisSession&) = delete;

    // Opens the Searching dialog; an older one goes first.
    void openSearching();
    // Starts a walk over the list, after stopping the one that runs.
    void start(std::shared_ptr<PrinterList> list, std::shared_ptr<const std::atomic<bool>> viewAll);
    // Names a printer in the open Searching dialog; false when none is open.
    bool showPrinter(const std::string& name);
    // Stops the walk (joined, or abandoned after about two seconds).
    void stop();
    // The end as the window takes it: the Searching dialog goes and a walk
    // still running stops between printers.
    void end();
    // Stops the walk and releases the dialog; nothing is reported after.
    void shutdown();

    bool running() const { return worker_ && worker_->running(); }
    bool searchingOpen() const { return searching_ != nullptr; }

  private:
    class Reports;

    bool isCurrentRun(unsigned run) const { return !shutDown_ && run == run_; }
    void releaseSearching();
    friend class RunPoster<AnalysisSession>;

    MainView& view_;
    std::shared_ptr<UiQueue> queue_;
    std::function<void()> onEnd_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::unique_ptr<AnalysisWorker> worker_;
    unsigned run_ = 0;
    std::shared_ptr<std::atomic<bool>> searchingShown_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<SearchingDisplay> searching_;
    bool searchingClosed_ = false;
    bool shutDown_ = false;
};

}  // namespace upkeep::app
