#include "discovery/FindPrinters.h"

#include <gtest/gtest.h>

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
    spooler.add("Desk 2", "LPT2:");  // every parallel port is the same port
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

TEST(FindSystemPrinters, SchedulerThatCannotBeReachedIsAFailure) {
    test::ScopedEnvVar server("CUPS_SERVER", "/nonexistent/upkeep-test/cups.sock");
    PrinterList list;
    list.add(std::make_shared<Printer>("kept", PortDescriptor("x", PortType::TcpIp, 7)));
    EXPECT_FALSE(findSystemPrinters(list));
    EXPECT_EQ(list.count(), 1u);
}

}  // namespace
}  // namespace upkeep::discovery
