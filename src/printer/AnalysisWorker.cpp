#include "printer/AnalysisWorker.h"

namespace upkeep {
namespace {
std::atomic<int> liveWalks{0};
}  // namespace

int AnalysisWorker::walksAlive() {
    return liveWalks.load();
}

AnalysisWorker::AnalysisWorker(std::shared_ptr<PrinterList> list,
                               std::shared_ptr<AnalysisSink> sink,
                               std::shared_ptr<const std::atomic<bool>> viewAll)
    : shared_(std::make_shared<Shared>()) {
    ++liveWalks;
    thread_ = std::thread([shared = shared_, list = std::move(list), sink = std::move(sink),
                           viewAll = std::move(viewAll)]() mutable {
        walk(shared, std::move(list), std::move(sink), std::move(viewAll));
        --liveWalks;
    });
}

AnalysisWorker::~AnalysisWorker() {
    stop();
}

void AnalysisWorker::cancel() {
    shared_->cancel.store(true);
}

bool AnalysisWorker::running() const {
    return thread_.joinable() && !shared_->done.load();
}

bool AnalysisWorker::stop() {
    if (!thread_.joinable())
        return true;
    cancel();
    platform::Deadline deadline(kStopWait);
    while (!shared_->done.load() && !deadline.expired()) {
        std::this_thread::sleep_for(std::min(platform::Millis{10}, deadline.remaining()));
    }
    return release();
}

bool AnalysisWorker::release() {
    if (!thread_.joinable())
        return true;
    cancel();
    if (shared_->done.load()) {
        thread_.join();
        return true;
    }
    // Never killed: it holds its own references and stays silent from now on.
    shared_->abandoned.store(true);
    thread_.detach();
    return false;
}

void AnalysisWorker::walk(std::shared_ptr<Shared> shared, std::shared_ptr<PrinterList> list,
                          std::shared_ptr<AnalysisSink> sink,
                          std::shared_ptr<const std::atomic<bool>> viewAll) {
    auto live = [&] { return !shared->abandoned.load(); };
    const std::size_t n = list ? list->count() : 0;
    if (live())
        sink->clearRows();
    if (live() && sink->searchingShown())
        sink->setCounter(0);

    for (std::size_t i = 0; i < n; ++i) {
        // Abandoned, the list belongs to the worker that replaced this one.
        if (!live())
            break;
        std::shared_ptr<Printer> printer = list->item(i);
        if (!printer)
            continue;
        if (shared->cancel.load()) {
            printer->markCanceled();
            continue;
        }
        std::string name = printer->name();
        if (live() && sink->searchingShown()) {
            sink->setCounter(static_cast<int>(i + 1));
            sink->setPrinterName(name);
            sink->repaintSearching();
            platform::Clock::sleepFor(kPausePerPrinter);
        }
        std::string versionText = printer->versionText();
        std::string modelText = printer->modelText();
        PrinterState effective = printer->effectiveState();
        StateDisplay display = stateDisplay(effective);
        bool show = (viewAll && viewAll->load()) || effective == PrinterState::UpgradeAvailable ||
                    effective == PrinterState::UpToDate;
        if (show && live()) {
            sink->insertRow(
                {i, display.icon, name, display.stringId, modelText, versionText, effective});
        }
    }
    if (!shared->cancel.load() && live())
        sink->finished();
    shared->done.store(true);
}

}  // namespace upkeep
