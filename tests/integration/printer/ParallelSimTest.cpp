// The parallel port stood in for by the simulator's pty: identification by
// PJL, the spooler stopped and started around the port.

#include <gtest/gtest.h>

#include <cstdlib>

#include "connection/ParallelConnection.h"
#include "integration/sim/SimHelpers.h"
#include "package/Environment.h"
#include "platform/ServiceControl.h"
#include "printer/Printer.h"
#include "support/PackageFixture.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

class RecordingServices : public platform::ServiceControl {
  public:
    bool defineParallelDevice() override { return log("define"); }
    bool stopSpooler() override { return log("stop"); }
    void startSpooler() override { log("start"); }
    bool log(const char* call) {
        calls.push_back(call);
        return true;
    }
    std::vector<std::string> calls;
};

class FakeEnvironment : public Environment {
  public:
    explicit FakeEnvironment(OsKind kind) : kind_(kind) {}
    void findPrinters(PrinterList&) override {}
    std::optional<PortDescriptor> catalogueFileDescriptor() override { return std::nullopt; }
    std::optional<std::string> systemSoftwarePath() override { return std::nullopt; }
    bool languageSetting(std::uint8_t&) override { return false; }
    OsKind osKind() override { return kind_; }

  private:
    OsKind kind_;
};

class ParallelSim : public ::testing::Test {
  protected:
    void SetUp() override { platform::setServiceControl(&services); }
    void TearDown() override {
        platform::setServiceControl(nullptr);
        ::unsetenv("UPKEEP_PARALLEL_DEVICE");
    }
    RecordingServices services;
    platform::ScopedTimeScale scale{0.01};
};

TEST_F(ParallelSim, AnyLptPortReachesTheFirstParallelPortAndIsIdentified) {
    test::SamplePackage package;
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.20", "pty = yes\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    ::setenv("UPKEEP_PARALLEL_DEVICE", sim.ptyPath(0).c_str(), 1);
    Printer printer("lpt2", PortDescriptor("LPT2:", PortType::Parallel, 7));
    EXPECT_EQ(printer.versionText(), "3.20  ");  // "M,;V": one empty subsystem slot
    EXPECT_EQ(printer.state(), PrinterState::UpgradeAvailable);
    // Linux has no spooler to stop (kind 0); it is started again all the same.
    EXPECT_EQ(services.calls, (std::vector<std::string>{"start"}));
}

TEST_F(ParallelSim, SpoolerStoppedBeforeAndStartedAfterOnKind3) {
    FakeEnvironment nt(OsKind::WinNt);
    ScopedEnvironment environment(&nt);
    ::setenv("UPKEEP_PARALLEL_DEVICE", "/dev/null", 1);
    {
        ParallelConnection port;
        auto start = std::chrono::steady_clock::now();
        EXPECT_TRUE(port.open());
        EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
    }
    {
        FakeEnvironment nt5(OsKind::WinNt5);
        ScopedEnvironment five(&nt5);
        ParallelConnection port;
        EXPECT_TRUE(port.open());
    }
    {
        ::setenv("UPKEEP_PARALLEL_DEVICE", "/no/such/device", 1);
        ParallelConnection port;  // a failed open still gets the spooler back
        EXPECT_FALSE(port.open());
    }
    EXPECT_EQ(services.calls,
              (std::vector<std::string>{"stop", "start", "define", "start", "stop", "start"}));
}

TEST_F(ParallelSim, SilentPortFailsTheReadAfterTheScaledLimit) {
    test::SimProcess sim(test::simPrinter(1, "", "", "pjl = silent\npty = yes\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    ::setenv("UPKEEP_PARALLEL_DEVICE", sim.ptyPath(0).c_str(), 1);
    ParallelConnection port;
    ASSERT_TRUE(port.open());
    EXPECT_EQ(port.blockSize(), 65536u);
    std::uint8_t buffer[16];
    std::size_t length = sizeof buffer;
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(port.read(buffer, length));
    EXPECT_EQ(length, 0u);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
}

}  // namespace
}  // namespace upkeep
