#include <gtest/gtest.h>

#include "connection/Connection.h"
#include "connection/TcpIpConnection.h"

namespace upkeep {
namespace {

TEST(ConnectionFactory, GivesAConnectionOnlyForAssignedKinds) {
    EXPECT_TRUE(createConnection(PortDescriptor("127.0.0.1", PortType::TcpIp, 0)));
    EXPECT_FALSE(createConnection(PortDescriptor("x", PortType::None, 0)));
    EXPECT_FALSE(createConnection(PortDescriptor("x", static_cast<PortType>(2), 0)));
    EXPECT_FALSE(createConnection(PortDescriptor("x", static_cast<PortType>(-1), 0)));
}

TEST(TcpIpConnection, NamesAndPorts) {
    struct Case {
        const char* name;
        const char* expected;  // nullptr: refused
        int port = 0;          // 0: none given
    } cases[] = {
        {"10.0.0.5", "10.0.0.5"},
        {"10.0.0.256", "10.0.0.0"},  // low eight bits of each number
        {"10.0.0.1x", "10.0.0.1"},   // read as "%d.%d.%d.%d": the rest is ignored
        {"0.1.2.3", "0.1.2.3"},
        {"10.0.0", nullptr},  // fewer than four numbers
        {"10..0.1", nullptr},
        {"1printer", nullptr},
        {"_host", nullptr},
        {"", nullptr},
        {"10.0.0.5:9101", "10.0.0.5", 9101},
        {"::1", "::1"},
        {"[::1]", "::1"},
        {"[::1]:9102", "::1", 9102},
        {"[fe80::1%lo]:9100", "fe80::1", 9100},
        // A port that is no port is refused rather than read as another.
        {"10.0.0.5:0", nullptr},
        {"10.0.0.5:65536", nullptr},
        {"10.0.0.5:", nullptr},
        {"10.0.0.5:91x", nullptr},
        {"[::1]9100", nullptr},
        {"[::1", nullptr},
        {"[10.0.0.5]", nullptr},
        {":::", nullptr},
    };
    for (const Case& c : cases) {
        auto address = resolveNetworkName(c.name);
        if (c.expected == nullptr) {
            EXPECT_FALSE(address) << c.name;
            continue;
        }
        ASSERT_TRUE(address) << c.name;
        EXPECT_EQ(address->text(), c.expected) << c.name;
        EXPECT_EQ(address->port.value_or(0), c.port) << c.name;
    }
}

TEST(TcpIpConnection, PortAndSocketByChannel) {
    struct Case {
        const char* name;
        std::uint32_t channel;
        int port;
        bool socket;
    } cases[] = {{"10.0.0.5", 0, 9100, true},      {"10.0.0.5", 1, 161, true},
                 {"10.0.0.5", 7, 9100, false},     {"10.0.0.5", 3, 9100, false},
                 {"10.0.0.5:9101", 0, 9101, true}, {"10.0.0.5:9101", 1, 161, true},
                 {"[::1]:9101", 0, 9101, true},    {"::1", 1, 161, true}};
    for (const Case& c : cases) {
        TcpIpConnection conn(PortDescriptor(c.name, PortType::TcpIp, c.channel));
        ASSERT_TRUE(conn.peerPort()) << c.name << " " << c.channel;
        EXPECT_EQ(*conn.peerPort(), c.port) << c.name << " " << c.channel;
        EXPECT_EQ(conn.hasSocket(), c.socket) << c.name << " " << c.channel;
    }
    TcpIpConnection unset(PortDescriptor("127.0.0.1", PortType::TcpIp, channel::kUnset));
    EXPECT_FALSE(unset.open());
    EXPECT_EQ(unset.blockSize(), 1024u);
    EXPECT_FALSE(unset.remove() || unset.create());  // no file operations on a printer
}

TEST(TcpIpConnection, UnresolvedOrEmptyNameHasNoSocket) {
    // A label over 63 characters fails in the resolver before any query is
    // sent, so the test asks no name server.
    const std::string unresolvable = "h" + std::string(70, 'x') + ".invalid";
    for (const std::string& name : {std::string(), unresolvable}) {
        TcpIpConnection conn(PortDescriptor(name, PortType::TcpIp, 0));
        EXPECT_FALSE(conn.hasSocket()) << name;
        EXPECT_FALSE(conn.open());
        std::uint8_t byte = 0;
        std::size_t length = 1;
        EXPECT_FALSE(conn.read(&byte, length));
        EXPECT_FALSE(conn.write(&byte, 1));
    }
}

}  // namespace
}  // namespace upkeep
