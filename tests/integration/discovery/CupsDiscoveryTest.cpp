// Discovery against a private CUPS scheduler whose queues print to simulated
// printers on loopback, followed by the analysis of what it found.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "discovery/FindPrinters.h"
#include "integration/discovery/CupsdProcess.h"
#include "platform/Clock.h"
#include "platform/CupsSpooler.h"
#include "printer/PrinterList.h"
#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/PackageFixture.h"
#include "support/Paths.h"
#include "support/SimProcess.h"
#include "unit/discovery/DiscoveryTestHelpers.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

namespace fs = std::filesystem;

// A sysfs tree with one usblp interface whose device node is the given path
// below /dev (the simulator's pty stands in for /dev/usb/lp0).
class UsbTree {
  public:
    UsbTree(const std::string& devicePath, const std::string& product, const std::string& serial)
        : root_(test::makeTempDir("usb")) {
        fs::path device = root_ / "devices/usb1/1-1";
        fs::create_directories(device / "1-1:1.0/usbmisc/lp0");
        fs::create_directories(root_ / "class/usbmisc");
        fs::create_directory_symlink(device / "1-1:1.0/usbmisc/lp0", root_ / "class/usbmisc/lp0");
        fs::create_directory_symlink(device / "1-1:1.0", device / "1-1:1.0/usbmisc/lp0/device");
        std::ofstream(device / "product") << product << "\n";
        std::ofstream(device / "serial") << serial << "\n";
        std::ofstream(device / "1-1:1.0/usbmisc/lp0/uevent")
            << "DEVNAME=" << devicePath.substr(std::string("/dev/").size()) << "\n";
    }
    ~UsbTree() { test::removeTree(root_.string()); }
    std::string root() const { return root_.string(); }

  private:
    fs::path root_;
};

TEST(CupsDiscovery, QueuesOnSimulatedPrintersAreFoundAndAnalysed) {
    if (!test::CupsdProcess::available())
        GTEST_SKIP() << "cupsd is not installed";
    test::CupsdProcess cupsd;
    ASSERT_TRUE(cupsd.started()) << cupsd.error();
    test::ScopedEnvVar server("CUPS_SERVER", cupsd.socketPath());

    platform::Registry noMonitors;
    test::SimProcess sim(R"(
[printer]
address = @ADDR1@
model = Meridot-4000
version = 4.00
[printer]
address = @ADDR2@
model = Meridot-5200
version = 6.00
subsystem = Finisher-F2 | F2.10
[printer]
address = @ADDR3@
model = Meridot-9999
version = 1.0
[printer]
address = @ADDR4@
model = Meridot-4000
version = 3.20
pty = yes
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    UsbTree usbTree(sim.ptyPath(3), "Meridot 4000", "SIM0001");
    platform::SysfsUsbDevices usb(usbTree.root());
    platform::CupsSpooler spooler;

    {
        // A scheduler without queues: success and nothing found.
        PrinterList list;
        ASSERT_TRUE(discovery::findPrinters(list, spooler, noMonitors, usb));
        EXPECT_EQ(list.count(), 0u);
    }

    // CUPS lists its queues by name.
    ASSERT_TRUE(cupsd.addQueue("a-socket", "socket://" + sim.address(0) + ":9100", "raw"))
        << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("b-ipp", "ipp://" + sim.address(1) + "/ipp/print")) << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("c-lpd", "lpd://" + sim.address(2) + "/queue")) << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("d-usb", "usb://Meridot/4000?serial=SIM0001")) << cupsd.error();
    // The same printer again, and one discovery cannot place.
    ASSERT_TRUE(cupsd.addQueue("e-socket-again", "socket://" + sim.address(0))) << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("f-dnssd", "dnssd://Elsewhere._ipp._tcp.local/")) << cupsd.error();

    PrinterList list;
    ASSERT_TRUE(discovery::findPrinters(list, spooler, noMonitors, usb));
    const std::vector<test::Listed> expected = {
        {"a-socket", PortType::TcpIp, sim.address(0)},
        {"b-ipp", PortType::TcpIp, sim.address(1)},
        {"c-lpd", PortType::TcpIp, sim.address(2)},
        {"d-usb", PortType::Usb, sim.ptyPath(3)},
    };
    ASSERT_EQ(test::listed(list), expected);

    // The analysis of the sample package over what discovery found.
    test::SamplePackage package;
    platform::ScopedTimeScale scale(0.05);  // each USB read: 50 ms
    const struct {
        PrinterState effective;
        const char* versionText;
    } states[] = {
        {PrinterState::UpToDate, "4.00"},
        {PrinterState::UpgradeAvailable, "6.00 F2.10 "},
        {PrinterState::Unsupported, "1.0"},
        // Its IDENTIFY reply, "Meridot-4000,;3.20", names one empty subsystem.
        {PrinterState::UpgradeAvailable, "3.20  "},
    };
    for (std::size_t i = 0; i < list.count(); ++i) {
        auto p = list.item(i);
        EXPECT_EQ(p->versionText(), states[i].versionText) << p->name();
        EXPECT_EQ(p->effectiveState(), states[i].effective) << p->name();
    }

    // The command-line tool finds the same queues through the program's own
    // environment (no USB tree there, so the usb queue is left out).
    std::vector<std::pair<std::string, std::string>> env = {
        {"CUPS_SERVER", cupsd.socketPath()}, {"UPKEEP_REGISTRY", "/nonexistent/upkeep.reg"}};
    test::CommandResult printers = test::runCommand({test::ctlPath(), "printers", "--json"}, env);
    EXPECT_EQ(printers.exitCode, 0) << printers.err;
    std::string json =
        "[\n  {\"name\": \"a-socket\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(0) +
        "\"},\n  {\"name\": \"b-ipp\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(1) +
        "\"},\n  {\"name\": \"c-lpd\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(2) +
        "\"}\n]\n";
    EXPECT_EQ(printers.out, json);

    test::CommandResult check = test::runCommand(
        {test::ctlPath(), "check", "--all", "--json", "--package", test::examplePackageDir()}, env);
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_NE(check.out.find("\"name\": \"a-socket\", \"state\": \"upToDate\""), std::string::npos)
        << check.out;
    EXPECT_NE(check.out.find("\"name\": \"c-lpd\", \"state\": \"unsupported\""), std::string::npos)
        << check.out;

    // A stopped scheduler cannot be asked: failure, and the list is kept.
    cupsd.stop();
    EXPECT_FALSE(discovery::findPrinters(list, spooler, noMonitors, usb));
    EXPECT_EQ(list.count(), 4u);
    test::CommandResult down = test::runCommand({test::ctlPath(), "printers"}, env);
    EXPECT_EQ(down.exitCode, 1);
}

}  // namespace
}  // namespace upkeep
