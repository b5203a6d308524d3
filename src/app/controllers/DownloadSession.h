#pragma once
// One download as the main window runs it: the sending worker, the Sending
// dialog with its status line ("step of total (file)") and progress bar, the
// user's Cancel, and the worker's end carried onto the user-interface thread.

#include <functional>
#include <memory>
#include <string>

#include "app/controllers/UiQueue.h"
#include "app/controllers/Views.h"
#include "printer/SendingWorker.h"

namespace upkeep::app {

struct DownloadEnd {
    Operation outcome = Operation::None;  // Failed, or the operation it ran
    int failureId = 0;                    // the failure's message, when it failed
    int failureCode = 0;
    bool canceled = false;  // by the Sending dialog's Cancel: nothing is said
    // A file of the package refused before anything was sent (problem None: none).
    Refusal refusal;
};

class DownloadSession {
  public:
    // onEnd runs on the user-interface thread once for each download: at
    // the user's Cancel, or when the worker ended.
    DownloadSession(MainView& view, std::shared_ptr<UiQueue> queue,
                    std::function<void(const DownloadEnd&)> onEnd);
    ~DownloadSession();  // shutdown()
    DownloadSession(const DownloadSession&) = delete;
    DownloadSession& operator=(const DownloadSession&) = delete;

    void start(SendRequest request, int step, int total);
    // Timer 1: the progress bar follows the worker.
    void progressTick();
    // The display of a download that has ended goes; a running one stays.
    void releaseIfEnded();
    // Cancels and joins the worker; its last reports are dropped.
    void shutdown();

    // Started and not reaped yet (after a Cancel, until the worker ended).
    bool running() const { return worker_ != nullptr; }
    bool displayOpen() const { return display_ != nullptr; }

  private:
    class Reports;

    bool isCurrentRun(unsigned run) const { return !shutDown_ && run == run_; }
    friend class RunPoster<DownloadSession>;
    void canceled();
    void ended(const DownloadEnd& end);
    void release();
    void updateStatusLine();

    MainView& view_;
    std::shared_ptr<UiQueue> queue_;
    std::function<void(const DownloadEnd&)> onEnd_;
    std::shared_ptr<int> alive_ = std::make_shared<int>(0);
    std::unique_ptr<SendingWorker> worker_;
    unsigned run_ = 0;
    bool cancelHandled_ = false;
    std::shared_ptr<std::atomic<bool>> shown_ = std::make_shared<std::atomic<bool>>(false);
    std::unique_ptr<SendingDisplay> display_;
    bool displayClosed_ = false;
    int step_ = 1;
    int total_ = 1;
    std::string file_;
    int progress_ = 0;
    bool shutDown_ = false;
};

}  // namespace upkeep::app
