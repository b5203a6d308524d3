// Discovery against a private CUPS scheduler whose queues print to simulated
// printers on loopback, followed by the analysis of what it found.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "connection/Connection.h"
#include "discovery/FindPrinters.h"
#include "integration/sim/SimHelpers.h"
#include "platform/Clock.h"
#include "platform/linux/CupsSpooler.h"
#include "printer/PrinterList.h"
#include "support/ChildProcess.h"
#include "support/CommandRunner.h"
#include "support/CupsdProcess.h"
#include "support/PackageFixture.h"
#include "support/Paths.h"
#include "support/SimProcess.h"
#include "unit/discovery/DiscoveryTestHelpers.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep {
namespace {

// Print data sent to a discovered network printer's data channel.
void sendData(const PortDescriptor& discovered) {
    PortDescriptor data = discovered;
    data.setChannel(channel::kData);
    std::unique_ptr<Connection> connection = createConnection(data);
    ASSERT_TRUE(connection && connection->open()) << discovered.name().view();
    const std::uint8_t bytes[] = {'h', 'i'};
    EXPECT_TRUE(connection->write(bytes, sizeof bytes));
}

TEST(CupsDiscovery, QueuesOnSimulatedPrintersAreFoundAndAnalysed) {
    if (!test::CupsdProcess::available())
        GTEST_SKIP() << "cupsd is not installed";
    test::CupsdProcess cupsd;
    ASSERT_TRUE(cupsd.started()) << cupsd.error();
    test::ScopedEnvVar server("CUPS_SERVER", cupsd.socketPath());

    platform::Registry noMonitors;
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-4000", "4.00") +
        test::simPrinter(2, "Meridot-5200", "6.00", "subsystem = Finisher-F2 | F2.10\n") +
        test::simPrinter(3, "Meridot-9999", "1.0") +
        test::simPrinter(4, "Meridot-4000", "3.20", "pty = yes\n") +
        "[printer]\naddress = @ADDR5@\ndata-port = 9101\nmodel = Meridot-5200\nversion = 6.00\n");
    ASSERT_TRUE(sim.ok()) << sim.error();
    test::UsbTree usbTree(sim.ptyPath(3), "Meridot 4000", "SIM0001",
                          "MFG:Meridot;MDL:Meridot 4000;CMD:PJL;");
    platform::SysfsUsbDevices usb(usbTree.root());
    platform::CupsSpooler spooler;
    test::FakeResolver dnssd;
    // The printer of e-socket-9101, on its host's usual data port: another printer.
    dnssd.services["Meridot 4000|_ipp._tcp|local"] = {"m4000.local", sim.address(4), 631};

    {
        // A scheduler without queues: success and nothing found.
        PrinterList list;
        ASSERT_TRUE(discovery::findPrinters(list, spooler, noMonitors, usb));
        EXPECT_EQ(list.count(), 0u);
    }

    // CUPS lists its queues by name.
    const std::string socket9101 = "socket://" + sim.address(4) + ":9101";
    const std::pair<const char*, std::string> queues[] = {
        {"a-socket", "socket://" + sim.address(0) + ":9100"},
        {"b-ipp", "ipp://" + sim.address(1) + "/ipp/print"},
        {"c-lpd", "lpd://" + sim.address(2) + "/queue"},
        // No serial number: the device ID's maker and model.
        {"d-usb", "usb://Meridot/Meridot%204000"},
        {"e-socket-9101", socket9101},
        {"f-dnssd", "dnssd://Meridot%204000._ipp._tcp.local/?uuid=1"},
        {"g-dnssd-gone", "dnssd://Elsewhere._ipp._tcp.local/"},
        {"h-ipp-v6", "ipp://[::1]:8631/ipp/print"},
        {"i-parallel", "parallel:/dev/lp1"},
        // The same printers again, and one of no port of ours.
        {"j-socket-again", "socket://" + sim.address(0)},
        {"k-usb-serial", "usb://Meridot/4000?serial=SIM0001"},
        {"l-file", "file:///dev/null"},
    };
    for (const auto& [name, uri] : queues)
        ASSERT_TRUE(cupsd.addQueue(name, uri, "raw")) << cupsd.error();

    PrinterList list;
    std::vector<discovery::QueueReport> report;
    ASSERT_TRUE(discovery::findPrinters(list, spooler, noMonitors, usb, &dnssd, &report));
    const std::vector<test::Listed> expected = {
        {"a-socket", PortType::TcpIp, sim.address(0)},
        {"b-ipp", PortType::TcpIp, sim.address(1)},
        {"c-lpd", PortType::TcpIp, sim.address(2)},
        {"d-usb", PortType::Usb, sim.ptyPath(3)},
        {"e-socket-9101", PortType::TcpIp, sim.address(4) + ":9101"},
        {"f-dnssd", PortType::TcpIp, sim.address(4)},
        {"g-dnssd-gone", PortType::TcpIp, ""},
        {"h-ipp-v6", PortType::TcpIp, "::1"},
        {"i-parallel", PortType::Parallel, "/dev/lp1"},
    };
    ASSERT_EQ(test::listed(list), expected);
    ASSERT_EQ(report.size(), std::size(queues));
    EXPECT_EQ(report[10].problem, "its port is listed already");
    EXPECT_EQ(report[11].problem, "no printer port of ours: file");

    // The data port of a socket URI is where print data goes.
    sendData(list.item(4)->portDescriptor());
    ASSERT_TRUE(sim.waitForLine("received " + sim.address(4) + " 1 2"));

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
        {PrinterState::UpToDate, "6.00"},
        {PrinterState::UpToDate, "6.00"},
        {PrinterState::NotReachable, ""},
    };
    for (std::size_t i = 0; i < std::size(states); ++i) {
        auto p = list.item(i);
        EXPECT_EQ(p->versionText(), states[i].versionText) << p->name();
        EXPECT_EQ(p->effectiveState(), states[i].effective) << p->name();
    }

    // The command-line tool finds the same queues through the program's own
    // environment: no USB tree there, and no DNS-SD daemon on its bus.
    const auto env = cupsd.toolEnvironment();
    test::CommandResult printers = test::runCommand({test::ctlPath(), "printers", "--json"}, env);
    EXPECT_EQ(printers.exitCode, 0) << printers.err;
    auto row = [](const std::string& name, const std::string& type, const std::string& port,
                  const std::string& uri, const std::string& rule, bool listed, bool reachable,
                  const std::string& reason) {
        return "  {\"name\": \"" + name + "\", \"portType\": \"" + type + "\", \"port\": \"" +
               port + "\", \"deviceUri\": \"" + uri + "\", \"classification\": \"" + rule +
               "\", \"listed\": " + (listed ? "true" : "false") +
               ", \"reachable\": " + (reachable ? "true" : "false") + ", \"reason\": \"" + reason;
    };
    // A whole row ends in "}; g-dnssd-gone is not reachable because the bus has no DNS-SD daemon.
    for (const std::string& jsonRow :
         {row("e-socket-9101", "TcpIp", sim.address(4) + ":9101", socket9101, "socket URI", true,
              true, "\"}"),
          row("d-usb", "None", "", "usb://Meridot/Meridot%204000", "", false, false,
              "no USB printer Meridot Meridot 4000 is present\"}"),
          row("g-dnssd-gone", "TcpIp", "", "dnssd://Elsewhere._ipp._tcp.local/", "dnssd URI", true,
              false, "DNS-SD (Avahi): ")})
        EXPECT_NE(printers.out.find(jsonRow), std::string::npos) << jsonRow << "\n" << printers.out;
    test::CommandResult table = test::runCommand({test::ctlPath(), "printers"}, env);
    EXPECT_NE(table.out.find("not reachable: DNS-SD (Avahi): "), std::string::npos) << table.out;

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
    EXPECT_EQ(list.count(), expected.size());
    test::CommandResult down = test::runCommand({test::ctlPath(), "printers"}, env);
    EXPECT_EQ(down.exitCode, 1);
}

// Queues on a maker's own backend, a wrapper backend and the SNMP backend's
// form are listed on their printers' addresses; another server's queue and a
// class are not printers.
TEST(CupsDiscovery, MakersBackendsWrappersAndWhatIsNoPrinter) {
    if (!test::CupsdProcess::available())
        GTEST_SKIP() << "cupsd is not installed";
    test::CupsdProcess cupsd;
    ASSERT_TRUE(cupsd.started()) << cupsd.error();
    test::SimProcess sim(test::simPrinter(1, "Meridot-4000", "4.00") +
                         test::simPrinter(2, "Meridot-5200", "6.00") +
                         test::simPrinter(3, "Meridot-4000", "3.20"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::pair<const char*, std::string> queues[] = {
        {"m-maker", "mvend:/net/Meridot%204000?ip=" + sim.address(0)},
        {"o-wrapped", "beh:/1/3/5/socket://" + sim.address(1) + ":9100"},
        {"p-snmp", "snmp://" + sim.address(2)},
        {"q-forwarding", "ipp://" + sim.address(0) + "/printers/lab"},
    };
    for (const auto& [name, uri] : queues)
        ASSERT_TRUE(cupsd.addQueue(name, uri, "raw")) << cupsd.error();
    ASSERT_TRUE(cupsd.addToClass("m-maker", "r-class")) << cupsd.error();

    const auto env = cupsd.toolEnvironment();
    test::CommandResult printers = test::runCommand({test::ctlPath(), "printers", "--json"}, env);
    EXPECT_EQ(printers.exitCode, 0) << printers.err;
    for (const std::string& part :
         {"\"name\": \"m-maker\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(0) + "\"",
          "\"name\": \"o-wrapped\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(1) + "\"",
          "\"name\": \"p-snmp\", \"portType\": \"TcpIp\", \"port\": \"" + sim.address(2) + "\"",
          std::string("\"classification\": \"beh wrapper, socket URI\"")})
        EXPECT_NE(printers.out.find(part), std::string::npos) << part << "\n" << printers.out;
    // The scheduler marks both as not local printers; neither is listed.
    for (const char* none : {"q-forwarding", "r-class"})
        EXPECT_EQ(printers.out.find(none), std::string::npos) << printers.out;

    test::CommandResult check = test::runCommand(
        {test::ctlPath(), "check", "--all", "--json", "--package", test::examplePackageDir()}, env);
    EXPECT_EQ(check.exitCode, 0) << check.err;
    for (const char* analysed : {"\"name\": \"m-maker\", \"state\": \"upToDate\"",
                                 "\"name\": \"o-wrapped\", \"state\": \"upToDate\"",
                                 "\"name\": \"p-snmp\", \"state\": \"upgradeAvailable\""})
        EXPECT_NE(check.out.find(analysed), std::string::npos) << analysed << "\n" << check.out;
}

// ::1 end to end: queues naming it are found, analysed by SNMP on ::1 and
// sent to on their data port, by discovery and by the command-line tool.
// The only test that serves SNMP on ::1, which every test shares.
TEST(CupsDiscovery, Ipv6LoopbackQueuesAreAnalysedAndSentTo) {
    if (!test::CupsdProcess::available())
        GTEST_SKIP() << "cupsd is not installed";
    test::SimProcess sim(
        "[printer]\naddress = ::1\ndata-port = @PORT1@\nmodel = Meridot-4000\nversion = 4.00\n");
    ASSERT_TRUE(sim.ok()) << sim.error();
    const std::string target = "[::1]:" + sim.dataPort(0);
    test::CupsdProcess cupsd;
    ASSERT_TRUE(cupsd.started()) << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("a-socket-v6", "socket://" + target, "raw")) << cupsd.error();
    ASSERT_TRUE(cupsd.addQueue("b-ipp-v6", "ipp://[::1]:8631/ipp/print", "raw")) << cupsd.error();
    test::ScopedEnvVar server("CUPS_SERVER", cupsd.socketPath());

    PrinterList list;
    platform::CupsSpooler spooler;
    ASSERT_TRUE(
        discovery::findPrinters(list, spooler, platform::Registry(), test::FakeUsbDevices{}));
    const std::vector<test::Listed> expected = {
        {"a-socket-v6", PortType::TcpIp, target},
        {"b-ipp-v6", PortType::TcpIp, "::1"},
    };
    ASSERT_EQ(test::listed(list), expected);
    test::SamplePackage package;
    for (std::size_t i = 0; i < list.count(); ++i) {
        EXPECT_EQ(list.item(i)->versionText(), "4.00") << list.item(i)->name();
        EXPECT_EQ(list.item(i)->effectiveState(), PrinterState::UpToDate) << list.item(i)->name();
    }
    sendData(list.item(0)->portDescriptor());
    ASSERT_TRUE(sim.waitForLine("received ::1 1 2"));

    const std::vector<std::pair<std::string, std::string>> env = {{"LANG", "C"}};
    test::CommandResult check = test::runCommand(
        {test::ctlPath(), "check", target, "--json", "--package", test::examplePackageDir()}, env);
    EXPECT_EQ(check.exitCode, 0) << check.err;
    EXPECT_NE(check.out.find("\"state\": \"upToDate\""), std::string::npos) << check.out;
    const std::string file = test::examplePackageDir() + "/m4000_310.fmw";
    test::CommandResult send = test::runCommand({test::ctlPath(), "send", target, file, "--yes"});
    EXPECT_EQ(send.exitCode, 0) << send.err;
    ASSERT_TRUE(sim.waitForLine("received ::1 2 "));
    EXPECT_EQ(sim.record(0, 2), test::readFile(file));
}

}  // namespace
}  // namespace upkeep
