// The parallel port stood in for by the simulator's pty: identification by
// PJL, the spooler stopped and started around the port, the device chosen
// by name, and one user of a device at a time.

#include <gtest/gtest.h>

#include <cstdlib>
#include <thread>

#include "connection/DeviceIo.h"
#include "connection/ParallelConnection.h"
#include "integration/sim/SimHelpers.h"
#include "package/Environment.h"
#include "platform/ServiceControl.h"
#include "printer/Printer.h"
#include "support/CommandRunner.h"
#include "support/PackageFixture.h"
#include "support/Paths.h"
#include "support/SimProcess.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

class RecordingServices : public platform::ServiceControl {
  public:
    bool defineParallelDevice() override { return log("define"); }
    bool stopSpooler() override { return log("stop"); }
    void startSpooler() override { log("start"); }
    bool log(const char* call) {
        calls.push_back(call);
        return !refuse;
    }
    std::vector<std::string> calls;
    bool refuse = false;  // the system refuses to define the device or stop the spooler
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

// The parallel port driver has no poll method: poll() says "ready" at once
// while a non-blocking read still finds nothing until the printer answered.
int alwaysReady(pollfd* entries, nfds_t count, int) {
    for (nfds_t i = 0; i < count; ++i)
        entries[i].revents = static_cast<short>(entries[i].events & (POLLIN | POLLOUT));
    return static_cast<int>(count);
}

TEST_F(ParallelSim, AnyLptPortReachesTheFirstParallelPortAndIsIdentified) {
    test::SamplePackage package;
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.20", "pty = yes\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    ::setenv("UPKEEP_PARALLEL_DEVICE", sim.ptyPath(0).c_str(), 1);
    for (deviceio::PollFunction poll : {deviceio::PollFunction(nullptr), &alwaysReady}) {
        SCOPED_TRACE(poll ? "driver without poll" : "poll");
        deviceio::setPollFunction(poll);
        Printer printer("lpt2", PortDescriptor("LPT2:", PortType::Parallel, 7));
        EXPECT_EQ(printer.versionText(), "3.20  ");  // "M,;V": one empty subsystem slot
        EXPECT_EQ(printer.state(), PrinterState::UpgradeAvailable);
        deviceio::setPollFunction(nullptr);
    }
    // Linux has no spooler to stop (kind 0); it is started again all the same.
    EXPECT_EQ(services.calls, (std::vector<std::string>{"start", "start"}));

    // A device named by its path is that device, whatever the variable says.
    ::setenv("UPKEEP_PARALLEL_DEVICE", "/no/such/device", 1);
    Printer named("lpt", PortDescriptor(sim.ptyPath(0), PortType::Parallel, 7));
    EXPECT_EQ(named.state(), PrinterState::NotAnalysed);
    named.analyse();
    EXPECT_EQ(named.state(), PrinterState::UpgradeAvailable);
    // The raw port node is refused, naming the printer's device.
    ParallelConnection raw(PortDescriptor("/dev/parport1", PortType::Parallel, 7));
    EXPECT_FALSE(raw.open());
    EXPECT_NE(ParallelConnection::deviceProblem("/dev/parport1")->find("/dev/lp1"),
              std::string::npos);
}

// Three names of one device analysed at once (two USB, one parallel) wait
// for each other: each gets its own replies.
TEST_F(ParallelSim, OneDeviceUnderSeveralNamesIsAnalysedOneAtATime) {
    test::SamplePackage package;
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "3.20", "pty = yes\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string pty = sim.ptyPath(0);
    ::setenv("UPKEEP_PARALLEL_DEVICE", pty.c_str(), 1);
    std::vector<std::shared_ptr<Printer>> printers = {
        std::make_shared<Printer>("a", PortDescriptor(pty, PortType::Usb, 7)),
        std::make_shared<Printer>("b", PortDescriptor(pty, PortType::Usb, 7)),
        std::make_shared<Printer>("c", PortDescriptor("LPT1:", PortType::Parallel, 7))};
    std::vector<std::thread> threads;
    for (auto& p : printers)
        threads.emplace_back([p] { p->analyse(); });
    for (auto& t : threads)
        t.join();
    for (auto& p : printers) {
        EXPECT_EQ(p->state(), PrinterState::UpgradeAvailable) << p->name();
        EXPECT_EQ(p->model(), "Meridot-4000") << p->name();
    }
    // The command-line tool, with its parallel checks.
    auto r = test::runCtl(
        {"check", "usb:" + pty, "usb:" + pty, "lpt:", "--package", test::examplePackageDir()},
        {{"UPKEEP_PARALLEL_DEVICE", pty}});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    std::size_t rows = 0;
    for (std::size_t at = 0; (at = r.out.find("Upgrade available", at)) != std::string::npos; ++at)
        ++rows;
    EXPECT_EQ(rows, 3u) << r.out;
}

TEST_F(ParallelSim, SpoolerStoppedBeforeAndStartedAfterOnKind3) {
    test::FakeEnvironment nt;
    ScopedEnvironment environment(&nt);
    const struct {
        OsKind os;
        const char* device;
        bool refuse;
        bool opens;
        std::vector<std::string> calls;
    } cases[] = {
        {OsKind::WinNt, "/dev/null", false, true, {"stop", "start"}},
        {OsKind::WinNt5, "/dev/null", false, true, {"define", "start"}},
        // A failed open still gets the spooler back.
        {OsKind::WinNt, "/no/such/device", false, false, {"stop", "start"}},
        // A port the system would not prepare is not opened behind its back.
        {OsKind::WinNt5, "/dev/null", true, false, {"define", "start"}},
        {OsKind::WinNt, "/dev/null", true, false, {"stop", "start"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(::testing::Message() << "kind " << static_cast<int>(c.os) << ", " << c.device
                                          << (c.refuse ? ", refused" : ""));
        nt.os = c.os;
        services.calls.clear();
        services.refuse = c.refuse;
        ::setenv("UPKEEP_PARALLEL_DEVICE", c.device, 1);
        {
            ParallelConnection port;
            auto start = std::chrono::steady_clock::now();
            EXPECT_EQ(port.open(), c.opens);
            if (c.os == OsKind::WinNt && !c.refuse) {
                EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(29));
            }
        }
        EXPECT_EQ(services.calls, c.calls);
    }
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
