#include "app/controllers/AnalysisSession.h"

#include <algorithm>

#include "resources/Strings.h"

namespace upkeep::app {

// Called on the worker's thread; every report is queued.
class AnalysisSession::Reports final : public AnalysisSink {
  public:
    Reports(AnalysisSession& owner, unsigned run)
        : post_(owner, owner.queue_, owner.alive_, run), shown_(owner.searchingShown_) {}

    void clearRows() override {
        post_([](AnalysisSession& s) { s.view_.clearRows(); });
    }
    bool searchingShown() override { return shown_->load(); }
    void setCounter(int count) override {
        post_([count](AnalysisSession& s) {
            if (s.searching_)
                s.searching_->setCounter(std::to_string(count));
        });
    }
    void setPrinterName(const std::string& name) override {
        post_([name](AnalysisSession& s) {
            if (s.searching_)
                s.searching_->setPrinterName(name);
        });
    }
    void repaintSearching() override {
        post_([](AnalysisSession& s) {
            if (s.searching_ && !s.searchingClosed_)
                s.searching_->repaint();
        });
    }
    void insertRow(const AnalysisRow& row) override {
        post_([row](AnalysisSession& s) {
            const int position = std::min(static_cast<int>(row.position), s.view_.rowCount());
            s.view_.insertRow(position,
                              ListRow{row.icon, row.name, resources::text(row.stateStringId),
                                      row.modelText, row.versionText});
        });
    }
    void finished() override {
        post_([](AnalysisSession& s) { s.onEnd_(); });
    }

  private:
    RunPoster<AnalysisSession> post_;
    std::shared_ptr<std::atomic<bool>> shown_;
};

AnalysisSession::AnalysisSession(MainView& view, std::shared_ptr<UiQueue> queue,
                                 std::function<void()> onEnd)
    : view_(view), queue_(std::move(queue)), onEnd_(std::move(onEnd)) {}

AnalysisSession::~AnalysisSession() {
    shutdown();
}

void AnalysisSession::openSearching() {
    releaseSearching();
    searching_ = view_.openSearching([this] {
        searchingClosed_ = true;
        onEnd_();
    });
    searchingShown_->store(searching_ != nullptr);
    if (searching_)
        searching_->repaint();
}

void AnalysisSession::start(std::shared_ptr<PrinterList> list,
                            std::shared_ptr<const std::atomic<bool>> viewAll) {
    if (shutDown_)
        return;
    // The old walk is let go, not waited for: the window never waits on a
    // printer, and the new walk waits for any printer the old one still asks.
    if (worker_) {
        worker_->release();
        worker_.reset();
    }
    ++run_;
    worker_ = std::make_unique<AnalysisWorker>(
        std::move(list), std::make_shared<Reports>(*this, run_), std::move(viewAll));
}

bool AnalysisSession::showPrinter(const std::string& name) {
    if (!searching_ || searchingClosed_)
        return false;
    searching_->setPrinterName(name);
    searching_->repaint();
    return true;
}

void AnalysisSession::stop() {
    if (worker_) {
        worker_->stop();
        worker_.reset();
    }
}

void AnalysisSession::end() {
    releaseSearching();
    if (worker_)
        worker_->cancel();
}

void AnalysisSession::shutdown() {
    if (shutDown_)
        return;
    shutDown_ = true;
    stop();
    releaseSearching();
}

void AnalysisSession::releaseSearching() {
    searchingShown_->store(false);
    if (searching_ && !searchingClosed_)
        searching_->close();
    searching_.reset();
    searchingClosed_ = false;
}

}  // namespace upkeep::app
