#include "discovery/ClassifyPort.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

#include "unit/discovery/DiscoveryTestHelpers.h"

namespace upkeep::discovery {
namespace {

struct Expect {
    std::string port;
    bool classified;
    PortType type = PortType::None;
    std::string name;
};

class ClassifyPortTest : public ::testing::Test {
  protected:
    ClassifyPortTest() : registry_(test::monitorsRegistry()) {
        test::FakeUsbDevices devices;
        devices.printer.push_back(test::namedUsb("/dev/usb/lp0", "Meridot 4000", "SG12345"));
        devices.printer.push_back({"/dev/usb/lp1", {}, {}, false, 1});
        devices.printer.push_back(test::namedUsb("/dev/usb/lp2", "Meridot 5200", "SG777"));
        devices.printer.push_back(test::idUsb("/dev/usb/lp3", "MFG:Meridot;MDL:Meridot 7100;"));
        devices.printer.push_back(test::idUsb("/dev/usb/lp4", "MFG:Meridot;MDL:7100;SN:ID42;"));
        devices.printer.push_back(test::idUsb("/dev/usb/lp5", "MFG:Meridot;MDL:8000;CMD:PJL;"));
        usb_.build(devices);
        dnssd_.services["Meridot 4000|_ipp._tcp|local"] = {"m4000.local", "127.0.0.9", 631};
        dnssd_.services["Raw|_pdl-datastream._tcp|local"] = {"raw.local", "127.0.0.9", 9101};
        dnssd_.services["Six|_ipp._tcp|local"] = {"six.local", "::1", 631};
        dnssd_.services["Printer v2.1|_printer._tcp|example.org"] = {"p.example.org", "10.0.0.3",
                                                                     515};
        dnssd_.services["Meridot Lab|_ipp._tcp|local"] = {"lab.local", "127.0.0.11", 631};
        dnssd_.services["Meridot Lab|_ipps._tcp|local"] = {"lab.local", "127.0.0.11", 631};
        dnssd_.services["labprinter.local||"] = {"labprinter.local", "127.0.0.12", 0};
    }

    void check(const Expect& e) {
        // A descriptor left from an earlier printer must not leak into a
        // port that does not classify.
        PortDescriptor descriptor("previous", PortType::File, channel::kUnset);
        bool classified = classifyPort(e.port, descriptor, PortSources{registry_, usb_, &dnssd_});
        EXPECT_EQ(classified, e.classified) << e.port;
        if (classified) {
            EXPECT_EQ(descriptor.portType(), e.type) << e.port;
            EXPECT_EQ(descriptor.name().str(), e.name) << e.port;
        } else {
            EXPECT_EQ(descriptor.name().str(), "previous") << e.port;
        }
        EXPECT_EQ(descriptor.channel(), channel::kUnset) << e.port;
    }

    platform::Registry registry_;
    UsbPortTable usb_;
    test::FakeResolver dnssd_;
};

// One row per line of the fixture: "PORT => TYPE NAME", or "PORT => -"
// for a port that is no printer's.
TEST_F(ClassifyPortTest, PortNamesAndDeviceUris) {
    const std::map<std::string, PortType> types = {{"tcpip", PortType::TcpIp},
                                                   {"ipx", PortType::IpxSpx},
                                                   {"usb", PortType::Usb},
                                                   {"parallel", PortType::Parallel}};
    std::ifstream in(test::discoveryFixture("ports.txt"));
    int rows = 0;
    for (std::string line; std::getline(in, line);) {
        const std::size_t arrow = line.find(" => ");
        if (line.empty() || line[0] == '#' || arrow == std::string::npos)
            continue;
        const std::string port = line.substr(0, arrow), result = line.substr(arrow + 4);
        const std::size_t space = result.find(' ');
        const std::string type = result.substr(0, space);
        const std::string name = space == std::string::npos ? "" : result.substr(space + 1);
        ASSERT_TRUE(type == "-" || types.count(type)) << line;
        check({port, type != "-", type == "-" ? PortType::None : types.at(type), name});
        ++rows;
    }
    EXPECT_GT(rows, 90);
}

TEST_F(ClassifyPortTest, NamesThatWouldBeCutAreRefused) {
    for (std::size_t length : {250u, 251u}) {
        const std::string host(length, 'h');
        Classification found =
            classify("socket://" + host + ":9101", PortSources{registry_, usb_, &dnssd_});
        EXPECT_EQ(found.classified(), length == 250) << length;
    }
    Classification parallel = classify("parallel:/" + std::string(255, 'd'), {registry_, usb_});
    EXPECT_FALSE(parallel.classified());
}

// The rules and problems of the other ports are in the discovery report rows.
TEST_F(ClassifyPortTest, DnssdWithoutAResolverSaysWhy) {
    Classification found = classify("dnssd://Meridot%204000._ipp._tcp.local/", {registry_, usb_});
    EXPECT_EQ(found.names, std::vector<std::string>{""});
    EXPECT_FALSE(found.problem.empty());
}

TEST(DnssdInstance, ServiceNameTypeAndDomain) {
    const struct {
        const char* host;
        const char* expected;  // "name|type|domain", or "" for none
    } cases[] = {
        {"Meridot 4000._ipp._tcp.local", "Meridot 4000|_ipp._tcp|local"},
        {"Meridot 4000._ipp._tcp.local.", "Meridot 4000|_ipp._tcp|local"},
        {"A.b._tcp._pdl-datastream._tcp.example.org", "A.b._tcp|_pdl-datastream._tcp|example.org"},
        {"N._ipp._tcp", "N|_ipp._tcp|local"},
        {"N._x._udp.local", "N|_x._udp|local"},
        {"_ipp._tcp.local", ""},
        {"N.ipp.tcp.local", ""},
        {"N._ipp._tcpx.local", ""},
    };
    for (const auto& c : cases) {
        std::optional<platform::ServiceInstance> found = dnssdInstance(c.host);
        std::string text = found ? found->name + "|" + found->type + "|" + found->domain : "";
        EXPECT_EQ(text, c.expected) << c.host;
    }
}

}  // namespace
}  // namespace upkeep::discovery
