#include <gtest/gtest.h>

#include "cli/Target.h"

namespace upkeep::cli {
namespace {

TEST(TargetTest, KindAndNetworkAddressRule) {
    struct Case {
        const char* text;
        std::optional<PortType> kind;  // nullopt: refused
        const char* name;
    };
    const Case cases[] = {
        {"10.0.0.1", PortType::TcpIp, "10.0.0.1"},
        {"255.255.255.255", PortType::TcpIp, "255.255.255.255"},
        {"printer-1.example", PortType::TcpIp, "printer-1.example"},
        // Read by the connection, these would reach 10.0.0.0 and 10.0.0.1.
        {"10.0.0.256", std::nullopt, ""},
        {"10.0.0.1x", std::nullopt, ""},
        {"10.0.0", std::nullopt, ""},
        {"10.0.0.1.", std::nullopt, ""},
        {" 10.0.0.1", std::nullopt, ""},
        {"1printer", std::nullopt, ""},
        {"_host", std::nullopt, ""},
        {"host name", std::nullopt, ""},
        {"", std::nullopt, ""},
        {"ipx:00000001.0000c0ffee00", PortType::IpxSpx, "00000001.0000c0ffee00"},
        {"usb:/dev/usb/lp0", PortType::Usb, "/dev/usb/lp0"},
        {"lpt:", PortType::Parallel, "LPT1:"},
        {"ipx:", std::nullopt, ""},
        {"usb:", std::nullopt, ""},
        // The connection would read these as some address, or as the port.
        {"ipx:zz", std::nullopt, ""},
        {"ipx:1.2", std::nullopt, ""},
        {"ipx:00000001.0000c0ffee00x", std::nullopt, ""},
        {"lpt:junk", std::nullopt, ""},
        {"lpt:2", std::nullopt, ""},
        {"lpt:1", PortType::Parallel, "LPT1:"},
        {"lpt:/dev/lp1", PortType::Parallel, "/dev/lp1"},
        // A data port, and IPv6 addresses.
        {"10.0.0.1:9101", PortType::TcpIp, "10.0.0.1:9101"},
        {"printer-1.example:9101", PortType::TcpIp, "printer-1.example:9101"},
        {"::1", PortType::TcpIp, "::1"},
        {"[::1]", PortType::TcpIp, "[::1]"},
        {"[::1]:9100", PortType::TcpIp, "[::1]:9100"},
        {"[fe80::1]:65535", PortType::TcpIp, "[fe80::1]:65535"},
        {"10.0.0.1:0", std::nullopt, ""},
        {"10.0.0.1:65536", std::nullopt, ""},
        {"10.0.0.1:91x", std::nullopt, ""},
        {"10.0.0.1:", std::nullopt, ""},
        {"10.0.0.256:9100", std::nullopt, ""},
        {"[::1]9100", std::nullopt, ""},
        {"[::1", std::nullopt, ""},
        {"[10.0.0.1]:9100", std::nullopt, ""},
        {"::g", std::nullopt, ""},
        {"lpt:dev/lp1", std::nullopt, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        auto port = parseTarget(c.text);
        ASSERT_EQ(port.has_value(), c.kind.has_value());
        if (port) {
            EXPECT_EQ(port->portType(), *c.kind);
            EXPECT_EQ(port->name().str(), c.name);
        }
    }
    EXPECT_FALSE(isNetworkAddress("a" + std::string(255, 'b')));
    // A host and port of 255 characters is the longest a name holds whole.
    const std::string labels =
        std::string(63, 'a') + "." + std::string(63, 'b') + "." + std::string(63, 'c') + ".";
    EXPECT_TRUE(parseTarget(labels + std::string(58, 'd') + ":9100"));
    EXPECT_FALSE(parseTarget(labels + std::string(59, 'd') + ":9100"));
    // A device path is taken whole or not at all.
    EXPECT_TRUE(parseTarget("usb:/" + std::string(254, 'd')));
    EXPECT_FALSE(parseTarget("usb:/" + std::string(255, 'd')));
    EXPECT_FALSE(parseTarget("lpt:/" + std::string(255, 'd')));
    // The raw port node is refused, naming the printer's device.
    EXPECT_FALSE(parseTarget("lpt:/dev/parport1"));
    EXPECT_NE(targetError("lpt:/dev/parport1").find("/dev/lp1"), std::string::npos);
    EXPECT_TRUE(isNetworkAddress("::1"));
    EXPECT_FALSE(isNetworkAddress("10.0.0.1:9100"));  // SNMP has its own port
#ifndef _WIN32
    // Only a parallel device that is not there is missing; one that cannot be
    // examined says why when it is opened (devices are files on Linux only).
    for (const auto& [path, missing] : {std::pair{"/dev/null", false},
                                        {"/etc/passwd/lp0", false},
                                        {"/nonexistent-upkeep/lp9", true}}) {
        EXPECT_EQ(missingPort(PortDescriptor(path, PortType::Parallel, 7)).has_value(), missing)
            << path;
    }
#endif
}

}  // namespace
}  // namespace upkeep::cli
