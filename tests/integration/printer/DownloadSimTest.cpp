// Downloads into simulated printers: byte-exact transfer, upgrades that the
// printer takes on, downgrades, and failures that must never pass as sent.

#include <gtest/gtest.h>

#include <condition_variable>
#include <cstdlib>
#include <fstream>

#include <unistd.h>

#include "integration/sim/SimHelpers.h"
#include "package/CatalogueEntry.h"
#include "platform/Clock.h"
#include "printer/SendEngine.h"
#include "printer/SendingWorker.h"
#include "support/ChildProcess.h"
#include "support/PackageFixture.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

using S = PrinterState;

// Collects what a download reports and lets the test wait for its end.
class WaitingSink : public SendingSink {
  public:
    bool sendingShown() override { return true; }
    void setFileText(const std::string& name) override {
        if (events_.empty())
            firstFile = std::chrono::steady_clock::now();
        record("file " + name);
    }
    void advanceStep() override {
        stepped = std::chrono::steady_clock::now();
        record("step");
    }
    void redrawPrinters() override {}
    void showFailure(int stringId, int) override { record("failure " + std::to_string(stringId)); }
    void finished(Operation outcome, bool canceled) override {
        ended = std::chrono::steady_clock::now();
        record(std::string("finished ") + std::to_string(static_cast<int>(outcome)) +
               (canceled ? " canceled" : ""));
    }
    std::chrono::steady_clock::time_point ended, firstFile, stepped;
    std::vector<std::string> wait() {
        std::unique_lock lock(mutex_);
        changed_.wait_for(lock, std::chrono::seconds(20), [&] {
            return !events_.empty() && events_.back().rfind("finished", 0) == 0;
        });
        return events_;
    }

  private:
    void record(std::string event) {
        std::lock_guard lock(mutex_);
        events_.push_back(std::move(event));
        changed_.notify_all();
    }
    std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<std::string> events_;
};

class DownloadSim : public ::testing::Test {
  protected:
    static std::shared_ptr<Printer> printerOf(test::SimProcess& sim) {
        auto p = std::make_shared<Printer>("p", PortDescriptor(sim.address(0), PortType::TcpIp, 7));
        p->analyse();
        return p;
    }
    test::SamplePackage package;
    platform::ScopedTimeScale scale{0.01};
};

TEST_F(DownloadSim, UpgradeOfPrinterAndSubsystemArrivesByteForByteAndIsTakenOn) {
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-5200", "5.10", "subsystem = Finisher-F2 | F2.10\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto printer = printerOf(sim);
    ASSERT_EQ(printer->upgradableCount(), 2u);
    auto sink = std::make_shared<WaitingSink>();
    // As the desktop program asks it: the worker appends the history itself.
    SendRequest request{Operation::Upgrade, printer, nullptr, {}};
    request.recordHistory = true;
    if (!std::getenv("UPKEEP_HISTORY"))
        ::setenv("UPKEEP_HISTORY", (::testing::TempDir() + "upkeep-history.jsonl").c_str(), 1);
    SendingWorker worker(std::move(request), sink);
    auto events = sink->wait();
    EXPECT_EQ(events, (std::vector<std::string>{"file finf2_230.fmw", "step", "file m5200_600.fmw",
                                                "finished 0"}));
    worker.join();
    // The printer restarts between two items: the first file, then ten
    // scaled seconds before the second.
    EXPECT_GE(sink->stepped - sink->firstFile, std::chrono::milliseconds(100));
    std::vector<std::string> lines;
    for (const history::Record& r : history::read(history::path()).records) {
        if (r.port == sim.address(0)) {
            EXPECT_EQ(r.model + " " + r.version, "Meridot-5200 5.10, Finisher-F2 F2.10");
            lines.push_back(r.file.path.substr(r.file.path.rfind('/') + 1) + " " + r.outcome + " " +
                            r.verification);
        }
    }
    EXPECT_EQ(lines, (std::vector<std::string>{"finf2_230.fmw sent not asked",
                                               "m5200_600.fmw sent not asked"}));
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));
    EXPECT_EQ(sim.record(0, 1), test::readFile(test::examplePackageDir() + "/finf2_230.fmw"));
    EXPECT_EQ(sim.record(0, 2), test::readFile(test::examplePackageDir() + "/m5200_600.fmw"));

    Printer again("p", PortDescriptor(sim.address(0), PortType::TcpIp, 7));
    EXPECT_EQ(again.versionText(), "6.00 F2.30 ");
    EXPECT_EQ(again.effectiveState(), S::UpToDate);
}

TEST_F(DownloadSim, DowngradeIsAcceptedThanksToTheRewrittenFlagLine) {
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "4.00"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    auto printer = printerOf(sim);
    {
        // A version the catalogue does not list for the model sends nothing
        // and is a failure, not a success.
        auto sink = std::make_shared<WaitingSink>();
        SendingWorker unlisted({Operation::Downgrade, printer, nullptr, "2.99"}, sink);
        EXPECT_EQ(sink->wait(), (std::vector<std::string>{"failure 256", "finished 4"}));
        // So does a file download without a file, once the first has let
        // the printer go.
        unlisted.join();
        auto noFile = std::make_shared<WaitingSink>();
        SendingWorker none({Operation::SendFile, printer, nullptr, {}}, noFile);
        EXPECT_EQ(noFile->wait(), (std::vector<std::string>{"failure 257", "finished 4"}));
    }
    auto sink = std::make_shared<WaitingSink>();
    SendingWorker worker({Operation::Downgrade, printer, nullptr, "3.20"}, sink);
    EXPECT_EQ(sink->wait().back(), "finished 1");
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));
    std::string original = test::readFile(test::examplePackageDir() + "/m4000_320.fmw");
    // The failed downgrade opened no connection: the file is connection 1.
    std::string received = sim.record(0, 1);
    ASSERT_EQ(received.size(), original.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < original.size(); ++i)
        differing += original[i] != received[i];
    EXPECT_EQ(differing, 1u);
    Printer again("p", PortDescriptor(sim.address(0), PortType::TcpIp, 7));
    EXPECT_EQ(again.versionText(), "3.20");
    // The mark does not outlive the send: an ordinary send is unchanged.
    EXPECT_FALSE(package.catalogue().findEntry("Meridot-4000", "3.20")->downgradeMark());
}

// What a download or an installation reports against a printer that
// misbehaves, and what the printer got. Cancels run at real time: they must
// end within half a second whatever the printer does, and the printer must
// take nothing more. Faults that end by a time-out run scaled.
TEST(TransferFaults, OutcomesAndWhatThePrinterGot) {
    constexpr int kNoCancel = -1;
    constexpr std::size_t kMiB = 1 << 20;
    constexpr Operation kFile = Operation::SendFile, kProfile = Operation::AddProfile;
    const struct {
        const char* name;
        const char* sim;  // the printer's data keys; "pty" sends through its pty as USB
        Operation operation;
        std::size_t bytes;  // payload of the file sent
        int cancelAfterMs;  // real time
        double scale;
        const char* events;  // in order, then the reason, joined by "|"
    } cases[] = {
        {"slow, canceled", "data = slow:20000\n", kFile, 2 * kMiB, 300, 1.0, "finished 2 canceled"},
        {"stalled, canceled", "data = stall\n", kFile, 2 * kMiB, 300, 1.0, "finished 2 canceled"},
        {"USB device taking nothing, canceled", "data = stall\npty = yes\n", kFile, 200'000, 300,
         1.0, "finished 2 canceled"},
        {"profile to a slow printer, canceled", "data = slow:20000\n", kProfile, 2 * kMiB, 300, 1.0,
         "finished 3 canceled"},
        {"ends its side after 1000 bytes", "data = half-close:1000\n", kFile, 100'000, kNoCancel,
         1.0, "failure 257|finished 4|closedEarly"},
        {"profile: ends its side after 1000 bytes", "data = half-close:1000\n", kProfile, 100'000,
         kNoCancel, 1.0, "failure 258|finished 4|transferFailed"},
        // Its kernel's window takes the whole file and acknowledges it:
        // only the window left after its end tells what it never read.
        {"ends its side after 1000 bytes, large window",
         "data = half-close:1000\nreceive-window = kernel\n", kFile, 100'000, kNoCancel, 1.0,
         "failure 257|finished 4|closedEarly"},
        {"profile: ends its side after 1000 bytes, large window",
         "data = half-close:1000\nreceive-window = kernel\n", kProfile, 100'000, kNoCancel, 1.0,
         "failure 258|finished 4|transferFailed"},
        {"hangs up after 4 KiB", "data = close-after:4096\n", kFile, 20'000, kNoCancel, 0.01,
         "failure 257|finished 4|closedEarly"},
        {"hangs up mid-file", "data = close-after:150000\n", kFile, 8 * kMiB, kNoCancel, 0.01,
         "failure 257|finished 4|closedEarly"},
        {"stalled", "data = stall\n", kFile, 20'000, kNoCancel, 0.01,
         "failure 257|finished 4|stalled"},
        {"profile: stalled", "data = stall\n", kProfile, 20'000, kNoCancel, 0.01,
         "failure 258|finished 4|transferFailed"},
        {"profile: hangs up after 4 KiB", "data = close-after:4096\n", kProfile, 60'000, kNoCancel,
         0.01, "failure 258|finished 4|transferFailed"},
        {"empty file", "", kFile, 0, kNoCancel, 1.0, "failure 294|finished 4|emptyFile"},
        {"empty profile", "", kProfile, 0, kNoCancel, 1.0, "failure 294|finished 4|emptyFile"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        platform::ScopedTimeScale scale(c.scale);
        test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.10", c.sim));
        ASSERT_TRUE(sim.ok()) << sim.error();
        const std::string path = ::testing::TempDir() + "upkeep-fault-" +
                                 std::to_string(::getpid()) +
                                 (c.operation == Operation::AddProfile ? ".pdw" : ".fmw");
        const bool empty = c.bytes == 0;
        if (empty)
            std::ofstream(path, std::ios::binary).flush();
        else if (c.operation == Operation::AddProfile)
            test::profileFile(path, c.bytes);
        else
            test::firmwareFile(path, "Meridot-4000", "9.00", c.bytes);
        const std::uint64_t size = test::readFile(path).size();

        const bool usb = std::string(c.sim).find("pty = yes") != std::string::npos;
        const PortDescriptor port = usb ? PortDescriptor(sim.ptyPath(0), PortType::Usb, 7)
                                        : PortDescriptor(sim.address(0), PortType::TcpIp, 7);
        SendRequest request{c.operation, std::make_shared<Printer>("p", port), nullptr, {}};
        if (c.operation == Operation::AddProfile)
            request.sendText = path;
        else
            request.entry = std::make_shared<CatalogueEntry>("Forced", "Forced", path);
        auto sink = std::make_shared<WaitingSink>();
        SendingWorker worker(std::move(request), sink);
        std::chrono::steady_clock::time_point canceled;
        if (c.cancelAfterMs != kNoCancel) {
            std::this_thread::sleep_for(std::chrono::milliseconds(c.cancelAfterMs));
            EXPECT_LT(worker.progress(), kProgressWhole / 2);
            // A slow printer's first bytes show at once, long before it has
            // taken a whole percent of the file (about a second here).
            if (std::string_view(c.sim).starts_with("data = slow")) {
                EXPECT_GT(worker.progress(), 0);
            }
            canceled = std::chrono::steady_clock::now();
            worker.cancel();
        }
        std::string events;
        for (const std::string& event : sink->wait())
            events += (events.empty() ? "" : "|") + event;
        // The reason a script reads: a printer that ended the stream against
        // one that stopped taking bytes.
        if (!worker.report().failure.empty())
            events += "|" + worker.report().failure;
        EXPECT_EQ(events, c.events);
        if (c.cancelAfterMs != kNoCancel) {
            EXPECT_LT(sink->ended - canceled, std::chrono::milliseconds(500));
        }
        EXPECT_LT(worker.progress(), kProgressWhole);
        if (!empty) {
            // The printer's end of the connection: it got less than the file.
            auto line = sim.waitForLine("received " + sim.address(0), std::chrono::seconds(5));
            ASSERT_TRUE(line);
            EXPECT_LT(std::stoull(line->substr(line->rfind(' ') + 1)), size) << *line;
        }
        EXPECT_FALSE(sim.waitForLine("applied", std::chrono::milliseconds(200)));
        EXPECT_FALSE(sim.waitForLine("profile", std::chrono::milliseconds(1)));
        std::remove(path.c_str());
    }
}

}  // namespace
}  // namespace upkeep
