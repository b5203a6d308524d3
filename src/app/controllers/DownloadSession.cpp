#include "app/controllers/DownloadSession.h"

#include "printer/SendingStatus.h"
#include "resources/Strings.h"

namespace upkeep::app {

// Called on the worker's thread. A failure is told with the end, so its
// message comes just before the end is handled.
class DownloadSession::Reports final : public SendingSink {
  public:
    Reports(DownloadSession& owner, unsigned run)
        : post_(owner, owner.queue_, owner.alive_, run), shown_(owner.shown_) {}

    bool sendingShown() override { return shown_->load(); }
    void setFileText(const std::string& fileName) override {
        post_([fileName](DownloadSession& s) {
            s.file_ = fileName;
            s.updateStatusLine();
        });
    }
    void advanceStep() override {
        post_([](DownloadSession& s) {
            ++s.step_;
            s.updateStatusLine();
        });
    }
    void redrawPrinters() override {
        post_([](DownloadSession& s) { s.view_.redrawRows(); });
    }
    void showFailure(int stringId, int code) override {
        failureId_ = stringId;
        failureCode_ = code;
    }
    void finished(Operation outcome, bool /*canceled*/) override {
        post_([end = DownloadEnd{outcome, failureId_, failureCode_, false, {}}](
                  DownloadSession& s) { s.ended(end); });
    }

  private:
    RunPoster<DownloadSession> post_;
    std::shared_ptr<std::atomic<bool>> shown_;
    // The worker's thread's only.
    int failureId_ = 0;
    int failureCode_ = 0;
};

DownloadSession::DownloadSession(MainView& view, std::shared_ptr<UiQueue> queue,
                                 std::function<void(const DownloadEnd&)> onEnd)
    : view_(view), queue_(std::move(queue)), onEnd_(std::move(onEnd)) {}

DownloadSession::~DownloadSession() {
    shutdown();
}

void DownloadSession::start(SendRequest request, int step, int total) {
    if (shutDown_)
        return;
    release();
    step_ = step;
    total_ = total;
    file_.clear();
    display_ = view_.openSending([this] { canceled(); });
    shown_->store(display_ != nullptr);
    updateStatusLine();
    progress_ = 0;
    if (display_)
        display_->setProgress(0);
    view_.startProgressTimer();
    ++run_;
    cancelHandled_ = false;
    worker_ =
        std::make_unique<SendingWorker>(std::move(request), std::make_shared<Reports>(*this, run_));
}

void DownloadSession::progressTick() {
    if (worker_)
        progress_ = worker_->progress();
    if (display_ && !displayClosed_)
        display_->setProgress(progress_);
}

void DownloadSession::canceled() {
    displayClosed_ = true;
    view_.stopProgressTimer();
    // The worker stops at once; its end, when it comes, only reaps it.
    if (worker_) {
        worker_->cancel();
        cancelHandled_ = true;
    }
    release();
    onEnd_(DownloadEnd{Operation::None, 0, 0, true, {}});
}

void DownloadSession::ended(const DownloadEnd& reported) {
    DownloadEnd end = reported;
    if (worker_) {
        worker_->join();  // its report was its last act
        // The timer may last have looked before the final block.
        progress_ = worker_->progress();
        end.refusal = worker_->report().refusal;
        worker_.reset();
    }
    if (cancelHandled_) {
        cancelHandled_ = false;
        return;
    }
    view_.stopProgressTimer();
    if (display_ && !displayClosed_) {
        display_->setProgress(progress_);
        display_->repaint();
    }
    // The display stays while the outcome is told.
    const unsigned run = run_;
    onEnd_(end);
    if (run == run_)
        release();
}

void DownloadSession::releaseIfEnded() {
    if (display_ && !worker_) {
        release();
        view_.stopProgressTimer();
    }
}

void DownloadSession::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    view_.stopProgressTimer();
    worker_.reset();  // cancels and joins
    release();
}

void DownloadSession::release() {
    shown_->store(false);
    if (display_ && !displayClosed_)
        display_->close();
    display_.reset();
    displayClosed_ = false;
}

void DownloadSession::updateStatusLine() {
    if (!display_ || displayClosed_)
        return;
    display_->setStatusLine(sendingStatusLine(resources::text(230), step_, total_, file_));
    display_->repaint();
}

}  // namespace upkeep::app
