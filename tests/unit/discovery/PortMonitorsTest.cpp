#include "discovery/PortMonitors.h"

#include <gtest/gtest.h>

#include "unit/discovery/DiscoveryTestHelpers.h"

namespace upkeep::discovery {
namespace {

using Lookup = std::optional<std::string> (*)(const platform::Registry&, std::string_view);

struct Case {
    const char* what;
    Lookup lookup;
    const char* port;
    std::optional<std::string> expected;
};

TEST(PortMonitors, LookupsOverFixtureKeys) {
    platform::Registry registry = test::monitorsRegistry();
    ASSERT_GT(registry.keyCount(), 0u);
    const Case cases[] = {
        {"empty host name falls back to the address", standardTcpIpPort, "IP_EmptyHost",
         "192.168.1.20"},
        {"host name wins over the address", standardTcpIpPort, "IP_Both", "printer7.example"},
        {"address alone", standardTcpIpPort, "IP_AddressOnly", "192.168.1.22"},
        {"key without either value", standardTcpIpPort, "IP_Neither", std::nullopt},
        {"both values empty", standardTcpIpPort, "IP_BothEmpty", std::nullopt},
        {"host name that is no text", standardTcpIpPort, "IP_HostIsNumber", "192.168.1.23"},
        {"host name over 255 characters is unreadable", standardTcpIpPort, "IP_LongHost",
         "192.168.1.24"},
        {"port with no key", standardTcpIpPort, "IP_Missing", std::nullopt},
        {"key names ignore letter case", standardTcpIpPort, "ip_both", "printer7.example"},
        {"IPX text", standardIpxSpxPort, "IPX_Full", "0000000A.00A0C9123456"},
        {"IPX without NetNum", standardIpxSpxPort, "IPX_NoNet", std::nullopt},
        {"IPX with an empty HWAddress", standardIpxSpxPort, "IPX_EmptyNode", std::nullopt},
        {"IPX NetNum over 31 characters", standardIpxSpxPort, "IPX_LongNet", std::nullopt},
        {"IPX port with no key", standardIpxSpxPort, "IP_Both", std::nullopt},
        {"Linkora text unchanged", linkoraPort, "LK_Tcp", "TCPIP,10.1.2.3"},
        {"Linkora IPX text unchanged", linkoraPort, "LK_Ipx", "IPX,0000000A.00A0C9123456"},
        {"Linkora port with no key", linkoraPort, "TEST_1", std::nullopt},
        {"test port", testPort, "TEST_1", "10.1.2.8"},
        {"test port with no key", testPort, "LK_Tcp", std::nullopt},
        {"empty port name", standardTcpIpPort, "", std::nullopt},
        {"a port name is one key level", standardTcpIpPort, "\\IP_Both", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.lookup(registry, c.port), c.expected) << c.what;
}

}  // namespace
}  // namespace upkeep::discovery
