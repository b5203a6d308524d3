#include "discovery/UsbPortTable.h"

#include <gtest/gtest.h>

#include "unit/discovery/DiscoveryTestHelpers.h"

namespace upkeep::discovery {
namespace {

using platform::UsbInterface;

TEST(UsbPortTable, PortNamesFromTheInterfaceValues) {
    // An interface: device path, serial number, product, "Enabled", port number.
    const struct {
        const char* what;
        UsbInterface device;
        const char* portName;
    } cases[] = {
        {"product, serial and Enabled",
         {"/dev/a", "SG12345", "Meridot 4000", true, {}},
         "USB/Meridot 4000/SG12345"},
        {"port number only", {"/dev/b", {}, {}, false, 2}, "USB002"},
        {"no Enabled: the port number decides",
         {"/dev/c", "SG2", "Meridot 5200", false, 1},
         "USB001"},
        {"no Enabled and no port number", {"/dev/c", "SG2", "Meridot 5200", false, {}}, ""},
        {"no serial number", {"/dev/e", {}, "Meridot 4000", true, 3}, "USB003"},
        {"named device keeps its name over the number", {"/dev/d", "S", "P", true, 9}, "USB/P/S"},
        {"four digits", {"/dev/f", {}, {}, false, 1234}, "USB1234"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(usbPortName(c.device), c.portName) << c.what;
}

TEST(UsbPortTable, LookUpIsExactAndGivesTheFirstEntry) {
    test::FakeUsbDevices devices;
    devices.vendor.push_back(test::namedUsb("/dev/vendor0", "Meridot 4000", "SG12345"));
    devices.printer.push_back({"/dev/usb/lp0", {}, {}, false, 1});
    // The same device under the standard class too.
    devices.printer.push_back(test::namedUsb("/dev/usb/lp1", "Meridot 4000", "SG12345"));
    devices.printer.push_back({"/dev/usb/lp2", {}, {}, false, {}});

    UsbPortTable table;
    table.build(devices);
    ASSERT_EQ(table.count(), 4u);
    EXPECT_EQ(table.entry(0).devicePath.str(), "/dev/vendor0");  // vendor class first
    EXPECT_EQ(table.entry(3).portName.str(), "");

    EXPECT_EQ(table.lookup("USB/Meridot 4000/SG12345"), "/dev/vendor0");
    EXPECT_EQ(table.lookup("USB001"), "/dev/usb/lp0");
    EXPECT_EQ(table.lookup("usb001"), std::nullopt);
    EXPECT_EQ(table.lookup("USB/meridot 4000/SG12345"), std::nullopt);
    EXPECT_EQ(table.lookup(""), std::nullopt);  // the entry without a name is never matched

    // A rebuild starts from an empty table.
    table.build(test::FakeUsbDevices{});
    EXPECT_EQ(table.count(), 0u);
    EXPECT_EQ(table.lookup("USB001"), std::nullopt);
}

TEST(UsbPortTable, HoldsSixteenOfSeventeenDevices) {
    test::FakeUsbDevices devices;
    for (std::uint32_t i = 1; i <= 17; ++i)
        devices.printer.push_back({"/dev/usb/lp" + std::to_string(i - 1), {}, {}, false, i});
    UsbPortTable table;
    table.build(devices);
    EXPECT_EQ(table.count(), UsbPortTable::kCapacity);
    EXPECT_EQ(table.lookup("USB016"), "/dev/usb/lp15");
    EXPECT_EQ(table.lookup("USB017"), std::nullopt);
}

TEST(UsbPortTable, LookupBySerialPrefersTheMatchingProduct) {
    test::FakeUsbDevices devices;
    devices.printer.push_back(test::namedUsb("/dev/usb/lp0", "Finisher F2", "X1"));
    devices.printer.push_back(test::namedUsb("/dev/usb/lp1", "Meridot 4000", "X1"));
    devices.printer.push_back(test::namedUsb("/dev/usb/lp2", "Meridot 5200", "SG7"));
    UsbPortTable table;
    table.build(devices);
    EXPECT_EQ(table.lookupSerial("X1", "Meridot 4000"), "/dev/usb/lp1");
    EXPECT_EQ(table.lookupSerial("X1", "4000"), "/dev/usb/lp1");  // model without the maker
    EXPECT_EQ(table.lookupSerial("X1", "000"), "/dev/usb/lp0");   // not a word: first serial
    EXPECT_EQ(table.lookupSerial("X1", ""), "/dev/usb/lp0");
    EXPECT_EQ(table.lookupSerial("SG7", "Other"), "/dev/usb/lp2");
    EXPECT_EQ(table.lookupSerial("sg7", "Meridot 5200"), std::nullopt);
    EXPECT_EQ(table.lookupSerial("", "Meridot 5200"), std::nullopt);
}

TEST(SysfsUsbDevices, ReadsThePrinterInterfacesOfTheFixtureTree) {
#ifdef _WIN32
    GTEST_SKIP() << "the fixture sysfs tree is made of symbolic links";
#endif
    platform::SysfsUsbDevices sysfs(test::discoveryFixture("sysfs"), "/dev");
    EXPECT_TRUE(sysfs.present(platform::UsbInterfaceClass::Vendor).empty());
    std::vector<UsbInterface> found = sysfs.present(platform::UsbInterfaceClass::Printer);
    std::vector<std::string> rows;  // hiddev0 is no printer
    for (const UsbInterface& usb : found)
        rows.push_back(usb.devicePath + " " + usb.product.value_or("-") + "/" +
                       usb.serialNumber.value_or("-") + (usb.enabled ? " enabled " : " ") +
                       std::to_string(usb.portNumber.value_or(0)) + " if " +
                       (usb.interfaceNumber ? std::to_string(*usb.interfaceNumber) : "-") + " " +
                       usb.deviceId.value_or("-"));
    const std::vector<std::string> expected = {
        "/dev/usb/lp0 Meridot 4000/SG12345 enabled 1 if 0 "
        "MFG:Meridot;CMD:PJL,PCL;MDL:Meridot 4000;CLS:PRINTER;SN:SG12345;",
        "/dev/usb/lp1 Meridot 5200/- enabled 2 if - -",  // no uevent: the usual node
        // after lp1, not between lp0 and lp1
        "/dev/usb/lp10 Finisher F2/F2-0042 enabled 11 if 1 "
        "MANUFACTURER:Meridot;COMMAND SET:PJL;MODEL:Finisher F2;",
    };
    EXPECT_EQ(rows, expected);

    UsbPortTable table;
    table.build(sysfs);
    EXPECT_EQ(table.lookup("USB/Meridot 4000/SG12345"), "/dev/usb/lp0");
    EXPECT_EQ(table.lookup("USB002"), "/dev/usb/lp1");
    EXPECT_EQ(table.lookup("USB/Finisher F2/F2-0042"), "/dev/usb/lp10");
    EXPECT_EQ(table.match({"Meridot", "Finisher F2", "", 1}),
              std::vector<std::string>{"/dev/usb/lp10"});
}

TEST(UsbPortTable, UriMatchesBySerialElseByDeviceIdMakeAndModel) {
    test::FakeUsbDevices devices;
    devices.printer.push_back(test::idUsb("/dev/usb/lp0", "MFG:Meridot;MDL:Meridot 7100;", 0));
    devices.printer.push_back(test::idUsb("/dev/usb/lp1", "mfg: Meridot ;mdl:7100;SN:ID42;", 0));
    devices.printer.push_back(test::idUsb("/dev/usb/lp2", "MFG:Meridot;MDL:7100;", 1));
    devices.printer.push_back(test::idUsb("/dev/usb/lp3", "MDL:7100;"));
    // One device under both interface classes.
    platform::UsbInterface twice = test::namedUsb("/dev/usb/lp4", "Meridot 4000", "SG1");
    twice.deviceId = "MFG:Meridot;MDL:4000;";
    devices.vendor.push_back(twice);
    devices.printer.push_back(twice);
    UsbPortTable table;
    table.build(devices);
    using Paths = std::vector<std::string>;
    const struct {
        UsbPortTable::UriQuery query;  // make, model, serial, interface
        Paths expected;
    } cases[] = {
        // Identical printers without serial numbers: every one of them.
        {{"Meridot", "7100", "", {}}, {"/dev/usb/lp0", "/dev/usb/lp1", "/dev/usb/lp2"}},
        {{"MERIDOT", "Meridot 7100", "", {}}, {"/dev/usb/lp0", "/dev/usb/lp1", "/dev/usb/lp2"}},
        {{"Meridot", "7100", "", 1}, {"/dev/usb/lp2"}},
        {{"Meridot", "7100", "ID42", {}}, {"/dev/usb/lp1"}},  // the device ID's serial
        {{"Meridot", "7100", "ID42", 1}, {}},
        {{"Meridot", "7100", "id42", {}}, {}},
        {{"Meridot", "4000", "SG1", {}}, {"/dev/usb/lp4"}},
        {{"Meridot", "4000", "", {}}, {"/dev/usb/lp4"}},
        {{"", "7100", "", {}}, {}},
        {{"Meridot", "", "", {}}, {}},
        {{"Meridot", "710", "", {}}, {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(table.match(c.query), c.expected)
            << c.query.make << "/" << c.query.model << "?" << c.query.serialNumber;
    }
}

TEST(SysfsUsbDevices, OverlongProductIsUnreadable) {
#ifdef _WIN32
    GTEST_SKIP() << "the fixture sysfs tree is made of symbolic links";
#endif
    test::UsbTree tree("/dev/usb/lp0", std::string(256, 'p'), std::string(255, 's'), "");
    std::vector<UsbInterface> found =
        platform::SysfsUsbDevices(tree.root()).present(platform::UsbInterfaceClass::Printer);
    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].product, std::nullopt);
    EXPECT_EQ(found[0].serialNumber, std::string(255, 's'));
    EXPECT_EQ(usbPortName(found[0]), "USB001");
}

}  // namespace
}  // namespace upkeep::discovery
