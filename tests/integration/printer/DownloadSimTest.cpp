// Downloads into simulated printers: byte-exact transfer, upgrades that the
// printer takes on, downgrades, and failures that must never pass as sent.

#include <gtest/gtest.h>

#include <condition_variable>
#include <fstream>

#include <unistd.h>

#include "integration/sim/SimHelpers.h"
#include "package/CatalogueEntry.h"
#include "platform/Clock.h"
#include "printer/SendingWorker.h"
#include "support/PackageFixture.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

using S = PrinterState;

// Collects what a download reports and lets the test wait for its end.
class WaitingSink : public SendingSink {
  public:
    bool sendingShown() override { return true; }
    void setFileText(const std::string& name) override { record("file " + name); }
    void advanceStep() override { record("step"); }
    void redrawPrinters() override {}
    void showFailure(int stringId, int) override { record("failure " + std::to_string(stringId)); }
    void finished(Operation outcome, bool canceled) override {
        record(std::string("finished ") + std::to_string(static_cast<int>(outcome)) +
               (canceled ? " canceled" : ""));
    }
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
    static std::shared_ptr<Printer> printerOf(test::SimProcess& sim, bool analyse = true) {
        auto p = std::make_shared<Printer>("p", PortDescriptor(sim.address(0), PortType::TcpIp, 7));
        if (analyse)
            p->analyse();
        return p;
    }
    // Sends `path` as a chosen file to the first printer and waits for the end.
    static std::vector<std::string> sendFile(test::SimProcess& sim, const std::string& path) {
        auto sink = std::make_shared<WaitingSink>();
        auto entry = std::make_shared<CatalogueEntry>("Forced", "Forced", path);
        SendingWorker worker({Operation::SendFile, printerOf(sim, false), entry, {}}, sink);
        return sink->wait();
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
    SendingWorker worker({Operation::Upgrade, printer, nullptr, {}}, sink);
    auto events = sink->wait();
    EXPECT_EQ(events, (std::vector<std::string>{"file finf2_230.fmw", "step", "file m5200_600.fmw",
                                                "finished 0"}));
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));
    EXPECT_EQ(sim.record(0, 1), test::fileBytes(test::examplePackageDir() + "/finf2_230.fmw"));
    EXPECT_EQ(sim.record(0, 2), test::fileBytes(test::examplePackageDir() + "/m5200_600.fmw"));

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
    }
    auto sink = std::make_shared<WaitingSink>();
    SendingWorker worker({Operation::Downgrade, printer, nullptr, "3.20"}, sink);
    EXPECT_EQ(sink->wait().back(), "finished 1");
    ASSERT_TRUE(sim.waitForLine("applied " + sim.address(0)));
    std::string original = test::fileBytes(test::examplePackageDir() + "/m4000_320.fmw");
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

// A file larger than what the sockets can buffer, so that the transfer is
// still going when the printer acts.
std::string smallFile(std::size_t bytes) {
    std::string path = ::testing::TempDir() + "upkeep-small-" + std::to_string(::getpid()) + ".fmw";
    std::ofstream(path, std::ios::binary) << std::string(bytes, 's');
    return path;
}

std::string bigFile() {
    std::string path = ::testing::TempDir() + "upkeep-big-" + std::to_string(::getpid()) + ".fmw";
    std::ofstream out(path, std::ios::binary);
    std::string chunk(1 << 20, 'x');
    for (int i = 0; i < 24; ++i)
        out << chunk;
    return path;
}

TEST_F(DownloadSim, PrinterNotTakingTheWholeFileIsAFailure) {
    // The small files fit into the sockets' buffers: every write succeeds,
    // and only the printer's reset or silence tells that it did not take them.
    const struct {
        const char* data;
        std::size_t megabytes, bytes;
    } cases[] = {
        {"close-after:150000", 24, 0},
        {"close-after:4096", 0, 20000},
        {"stall", 0, 20000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.data);
        test::SimProcess sim(test::simPrinter(1, "", "", std::string("data = ") + c.data + "\n"));
        ASSERT_TRUE(sim.ok()) << sim.error();
        std::string path = c.megabytes ? bigFile() : smallFile(c.bytes);
        EXPECT_EQ(sendFile(sim, path), (std::vector<std::string>{"failure 257", "finished 4"}));
        std::remove(path.c_str());
    }
}

TEST_F(DownloadSim, ForcedSendOfAChosenFile) {
    test::SimProcess sim(test::simPrinter(1, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    std::string path = test::examplePackageDir() + "/m6100_120.fmw";
    EXPECT_EQ(sendFile(sim, path), (std::vector<std::string>{"finished 2"}));
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(0)));
    EXPECT_EQ(sim.record(0, 1), test::fileBytes(path));
}

TEST_F(DownloadSim, CancelStopsTheTransferAndIsNotReportedAsSent) {
    test::SimProcess sim(test::simPrinter(1, "", "", "data = slow:5000000\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    // Room in the socket can take a while to appear at this rate: 1.2 s.
    platform::ScopedTimeScale slower(0.02);
    std::string path = bigFile();
    auto entry = std::make_shared<CatalogueEntry>("Forced", "Forced", path);
    auto sink = std::make_shared<WaitingSink>();
    SendingWorker worker({Operation::SendFile, printerOf(sim, false), entry, {}}, sink);
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_LT(worker.progress(), 100);
    worker.cancel();
    EXPECT_EQ(sink->wait().back(), "finished 2 canceled");
    std::remove(path.c_str());
}

}  // namespace
}  // namespace upkeep
