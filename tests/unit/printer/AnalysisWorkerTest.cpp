#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

#include "platform/Clock.h"
#include "printer/AnalysisWorker.h"

namespace upkeep {
namespace {

// Records what the worker reports; can cancel the worker at a given row.
class RecordingSink : public AnalysisSink {
  public:
    void clearRows() override { log("clear"); }
    bool searchingShown() override { return searching; }
    void setCounter(int count) override { log("counter " + std::to_string(count)); }
    void setPrinterName(const std::string& name) override { log("name " + name); }
    void repaintSearching() override { log("repaint"); }
    void insertRow(const AnalysisRow& row) override {
        log("row " + row.name + " " + std::to_string(row.stateStringId) + " " +
            std::to_string(row.icon) + " " + std::to_string(row.position) + " " + row.modelText +
            "|" + row.versionText);
        if (onRow)
            onRow(row);
    }
    void finished() override { log("finished"); }

    void waitFor(const std::string& event) {
        std::unique_lock lock(mutex);
        ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] {
            return std::find(events.begin(), events.end(), event) != events.end();
        })) << event;
    }
    std::vector<std::string> snapshot() {
        std::lock_guard lock(mutex);
        return events;
    }

    bool searching = false;
    std::function<void(const AnalysisRow&)> onRow;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> events;

  private:
    void log(const std::string& e) {
        std::lock_guard lock(mutex);
        events.push_back(e);
        changed.notify_all();
    }
};

std::shared_ptr<Printer> analysed(const std::string& name, PrinterState state) {
    auto p = std::make_shared<Printer>(name, PortDescriptor(name, PortType::TcpIp, 7));
    PrinterFacts f;
    f.state = state;
    f.model = "Meridot " + name;
    f.version = "1.0";
    p->store(f);
    return p;
}

// Rows by view, their texts and icons, and a cancel that marks the rest are
// driven through the main window's controller tests.
TEST(AnalysisWorker, EmptyListFinishesAtOnce) {
    auto sink = std::make_shared<RecordingSink>();
    AnalysisWorker worker(std::make_shared<PrinterList>(), sink,
                          std::make_shared<std::atomic<bool>>(true));
    sink->waitFor("finished");
    EXPECT_TRUE(worker.stop());  // joined: the walk had ended
    EXPECT_EQ(sink->snapshot(), (std::vector<std::string>{"clear", "finished"}));
}

TEST(AnalysisWorker, AbandonedWorkerLeavesThePrintersToItsSuccessor) {
    platform::ScopedTimeScale scale(0.01);
    auto list = std::make_shared<PrinterList>();
    for (const char* name : {"p1", "p2", "p3"})
        list->add(analysed(name, PrinterState::UpToDate));
    auto sink = std::make_shared<RecordingSink>();
    std::mutex slow;
    slow.lock();
    sink->onRow = [&](const AnalysisRow& row) {
        if (row.name == "p1")
            std::lock_guard wait(slow);  // an analysis that outlasts the stop
    };
    {
        AnalysisWorker worker(list, sink, std::make_shared<std::atomic<bool>>(true));
        sink->waitFor("row p1 152 2 0 Meridot p1|1.0");
        EXPECT_FALSE(worker.stop());
    }
    slow.unlock();
    // The thread ends when it lets go of the sink.
    platform::Deadline limit(std::chrono::seconds(1000));
    while (sink.use_count() > 1 && !limit.expired())
        std::this_thread::yield();
    ASSERT_EQ(sink.use_count(), 1);
    for (std::size_t i = 1; i < 3; ++i)
        EXPECT_EQ(list->item(i)->state(), PrinterState::UpToDate) << "not marked canceled";
    EXPECT_EQ(sink->snapshot().back(), "row p1 152 2 0 Meridot p1|1.0") << "silent once abandoned";
}

TEST(AnalysisWorker, SearchingDisplayShowsEachPrinterForAScaledSecond) {
    platform::ScopedTimeScale scale(0.01);
    auto list = std::make_shared<PrinterList>();
    list->add(analysed("a", PrinterState::UpToDate));
    list->add(analysed("b", PrinterState::UpToDate));
    auto sink = std::make_shared<RecordingSink>();
    sink->searching = true;
    auto start = std::chrono::steady_clock::now();
    AnalysisWorker worker(list, sink, std::make_shared<std::atomic<bool>>(false));
    sink->waitFor("finished");
    auto took = std::chrono::steady_clock::now() - start;
    worker.stop();
    EXPECT_GE(took, std::chrono::milliseconds(20));
    EXPECT_EQ(sink->snapshot(),
              (std::vector<std::string>{"clear", "counter 0", "counter 1", "name a", "repaint",
                                        "row a 152 2 0 Meridot a|1.0", "counter 2", "name b",
                                        "repaint", "row b 152 2 1 Meridot b|1.0", "finished"}));
}

}  // namespace
}  // namespace upkeep
