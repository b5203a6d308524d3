#include "discovery/FindPrinters.h"

#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "unit/discovery/DiscoveryTestHelpers.h"
#include "unit/package/PackageTestHelpers.h"

namespace upkeep::discovery {
namespace {

using test::Listed;
using test::listed;

TEST(FindPrinters, OnePrinterPerPortInSpoolerOrder) {
    platform::Registry registry = test::monitorsRegistry();
    test::FakeUsbDevices usb;
    usb.printer.push_back(test::namedUsb("/dev/usb/lp0", "Meridot 4000", "SG12345"));
    test::FakeSpooler spooler;
    spooler.add("Office", "IP_Both");
    spooler.add("Office copy", "IP_Both");  // same port: the first one counts
    spooler.add("Unknown", "IP_Missing");   // not classified
    spooler.add("Desk", "LPT1:");
    spooler.add("Desk 2", "LPT2:");  // both name the first parallel port
    spooler.add("lower", "lpt3:");   // not parallel
    spooler.add("Linkora", "LK_Tcp");
    // Two Standard TCP/IP ports naming one address are one port.
    spooler.add("Shared", "IP_Shared");
    spooler.add("Shared 2", "IP_Shared2");
    spooler.add("Cellar", "IPX_Full");
    spooler.add("Usb", "USB/Meridot 4000/SG12345");
    spooler.add("Queue", "socket://127.0.0.5:9100");
    // A pooled printer names several ports and matches none of them.
    spooler.printerRecords.push_back({"Pool", "TEST_1,IP_AddressOnly"});
    spooler.portRecords.push_back({"TEST_1"});
    spooler.portRecords.push_back({"IP_AddressOnly"});
    // A printer whose port the spooler does not list.
    spooler.printerRecords.push_back({"Orphan", "IP_EmptyHost"});

    PrinterList list;
    ASSERT_TRUE(findPrinters(list, spooler, registry, usb));
    const std::vector<Listed> expected = {
        {"Office", PortType::TcpIp, "printer7.example"},
        {"Desk", PortType::Parallel, "LPT1:"},
        {"Linkora", PortType::TcpIp, "10.1.2.3"},
        {"Shared", PortType::TcpIp, "10.1.2.9"},
        {"Cellar", PortType::IpxSpx, "0000000A.00A0C9123456"},
        {"Usb", PortType::Usb, "/dev/usb/lp0"},
        {"Queue", PortType::TcpIp, "127.0.0.5"},
    };
    EXPECT_EQ(listed(list), expected);
}

TEST(FindPrinters, DeviceUriQueuesAndWhatBecameOfThem) {
    test::ScopedEnvVar firstParallel("UPKEEP_PARALLEL_DEVICE", "/dev/lp0");
    test::FakeUsbDevices usb;  // two identical printers without serial numbers
    usb.printer.push_back(test::idUsb("/dev/usb/lp0", "MFG:Meridot;MDL:7100;"));
    usb.printer.push_back(test::idUsb("/dev/usb/lp1", "MFG:Meridot;MDL:7100;"));
    test::FakeResolver dnssd;
    dnssd.services["Found|_ipp._tcp|local"] = {"found.local", "127.0.0.8", 631};
    test::FakeSpooler spooler;
    spooler.add("Raw", "socket://127.0.0.5");
    spooler.add("Raw 9100", "socket://127.0.0.5:9100");  // the same port
    spooler.add("Raw 9101", "socket://127.0.0.5:9101");  // another printer
    spooler.add("Six", "socket://[::1]:9101");
    spooler.add("Lp0", "LPT1:");
    spooler.add("Lp0 again", "parallel:/dev/lp0");  // the device LPT1: opens
    spooler.add("Lp1", "parallel:/dev/lp1");
    spooler.add("Lp1 again", "parallel:/dev//lp1");
    spooler.add("Twins", "usb://Meridot/7100");
    spooler.add("Found", "dnssd://Found._ipp._tcp.local/");
    spooler.add("Gone", "dnssd://Gone._ipp._tcp.local/");
    spooler.add("Gone too", "dnssd://Gone%202._ipp._tcp.local/");  // no port: never "the same"
    spooler.add("Absent", "usb://Meridot/9999");

    PrinterList list;
    std::vector<QueueReport> report;
    ASSERT_TRUE(findPrinters(list, spooler, platform::Registry(), usb, &dnssd, &report));
    const std::vector<Listed> expected = {
        {"Raw", PortType::TcpIp, "127.0.0.5"},
        {"Raw 9101", PortType::TcpIp, "127.0.0.5:9101"},
        {"Six", PortType::TcpIp, "[::1]:9101"},
        {"Lp0", PortType::Parallel, "LPT1:"},
        {"Lp1", PortType::Parallel, "/dev/lp1"},
        {"Twins", PortType::Usb, "/dev/usb/lp0"},
        {"Twins", PortType::Usb, "/dev/usb/lp1"},
        {"Found", PortType::TcpIp, "127.0.0.8"},
        {"Gone", PortType::TcpIp, ""},
        {"Gone too", PortType::TcpIp, ""},
    };
    EXPECT_EQ(listed(list), expected);

    std::vector<std::string> rows;
    for (const QueueReport& q : report)
        rows.push_back(q.printer + " | " + q.portName + " | " + q.name + " | " + q.rule + " | " +
                       q.problem + (q.listed ? " | listed" : ""));
    const std::vector<std::string> expectedRows = {
        "Raw | socket://127.0.0.5 | 127.0.0.5 | socket URI |  | listed",
        "Raw 9100 | socket://127.0.0.5:9100 | 127.0.0.5 | socket URI | its port is listed already",
        "Raw 9101 | socket://127.0.0.5:9101 | 127.0.0.5:9101 | socket URI |  | listed",
        "Six | socket://[::1]:9101 | [::1]:9101 | socket URI |  | listed",
        "Lp0 | LPT1: | LPT1: | parallel port name |  | listed",
        "Lp0 again | parallel:/dev/lp0 | /dev/lp0 | parallel URI | its port is listed already",
        "Lp1 | parallel:/dev/lp1 | /dev/lp1 | parallel URI |  | listed",
        "Lp1 again | parallel:/dev//lp1 | /dev//lp1 | parallel URI | its port is listed already",
        "Twins | usb://Meridot/7100 | /dev/usb/lp0 | usb URI, make and model, ambiguous: 2 "
        "identical printers without serial numbers |  | listed",
        "Twins | usb://Meridot/7100 | /dev/usb/lp1 | usb URI, make and model, ambiguous: 2 "
        "identical printers without serial numbers |  | listed",
        "Found | dnssd://Found._ipp._tcp.local/ | 127.0.0.8 | dnssd URI, resolved to found.local | "
        " "
        "| listed",
        "Gone | dnssd://Gone._ipp._tcp.local/ |  | dnssd URI | " + dnssd.problem + " | listed",
        "Gone too | dnssd://Gone%202._ipp._tcp.local/ |  | dnssd URI | " + dnssd.problem +
            " | listed",
        "Absent | usb://Meridot/9999 |  |  | no USB printer Meridot 9999 is present",
    };
    EXPECT_EQ(rows, expectedRows);
}

// Answers only once every expected name is being resolved at the same time.
class GatheringResolver final : public platform::ServiceResolver {
  public:
    explicit GatheringResolver(int expected) : expected_(expected) {}
    platform::Resolution resolve(const platform::ServiceInstance& instance) const override {
        std::unique_lock lock(mutex_);
        ++arrived_;
        changed_.notify_all();
        bool together = changed_.wait_for(lock, std::chrono::seconds(10),
                                          [&] { return arrived_ >= expected_; });
        if (!together)
            return {std::nullopt, "alone"};
        std::string address = "127.0.0." + std::to_string(10 + instance.name.front() - 'A');
        return {platform::ResolvedService{instance.name + ".local", address, 631}, {}};
    }

  private:
    const int expected_;
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    mutable int arrived_ = 0;
};

TEST(FindPrinters, DnssdNamesAreResolvedTogether) {
    // Each name that does not resolve costs the whole time limit: one after
    // the other, a few of them would hold up the search for long.
    test::FakeSpooler spooler;
    spooler.add("A", "dnssd://A._ipp._tcp.local/");
    spooler.add("B", "dnssd://B._ipp._tcp.local/");
    spooler.add("B again", "dnssd://B._ipp._tcp.local/");  // one name, asked once
    spooler.add("C", "dnssd://C._ipp._tcp.local/");
    GatheringResolver dnssd(3);
    PrinterList list;
    std::vector<QueueReport> report;
    ASSERT_TRUE(
        findPrinters(list, spooler, platform::Registry(), test::FakeUsbDevices{}, &dnssd, &report));
    for (const QueueReport& q : report)
        EXPECT_EQ(q.problem, q.printer == "B again" ? "its port is listed already" : "")
            << q.printer;
}

TEST(FindPrinters, FirstClassifiedPortOfTheNameCounts) {
    // A spooler listing a port name twice: the first match that classifies.
    platform::Registry registry = test::monitorsRegistry();
    test::FakeSpooler spooler;
    spooler.printerRecords.push_back({"P", "LK_Ipx"});
    spooler.portRecords = {{"lk_ipx"}, {"LK_Ipx"}, {"LK_Ipx"}};
    PrinterList list;
    ASSERT_TRUE(findPrinters(list, spooler, registry, test::FakeUsbDevices{}));
    EXPECT_EQ(listed(list),
              (std::vector<Listed>{{"P", PortType::IpxSpx, "0000000A.00A0C9123456"}}));
}

TEST(FindPrinters, SpoolerFailureLeavesTheListAsItWas) {
    platform::Registry registry = test::monitorsRegistry();
    for (int failing = 0; failing < 2; ++failing) {
        test::FakeSpooler spooler;
        spooler.add("Office", "IP_Both");
        (failing == 0 ? spooler.printersFail : spooler.portsFail) = true;
        PrinterList list;
        list.add(std::make_shared<Printer>("kept", PortDescriptor("x", PortType::TcpIp, 7)));
        EXPECT_FALSE(findPrinters(list, spooler, registry, test::FakeUsbDevices{})) << failing;
        EXPECT_EQ(list.count(), 1u) << failing;
    }
}

TEST(FindPrinters, ExtraPortIsAddedLastEvenWhenListed) {
    platform::Registry registry = platform::Registry::fromText(
        "REGEDIT4\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tavo Linkora "
        "Port\\Ports\\Meridot 4000]\n"
        "\"TavoNetworkPrinterID\"=\"TCPIP,10.1.2.40\"\n"
        "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tavo Standard "
        "TCP/IP Port\\Ports\\IP_40]\n"
        "\"IPAddress\"=\"10.1.2.40\"\n");
    test::FakeSpooler spooler;
    spooler.add("Front desk", "IP_40");
    PrinterList list;
    ASSERT_TRUE(findPrinters(list, spooler, registry, test::FakeUsbDevices{}));
    const std::vector<Listed> expected = {
        {"Front desk", PortType::TcpIp, "10.1.2.40"},
        {"Meridot 4000", PortType::TcpIp, "10.1.2.40"},
    };
    EXPECT_EQ(listed(list), expected);
}

}  // namespace
}  // namespace upkeep::discovery
