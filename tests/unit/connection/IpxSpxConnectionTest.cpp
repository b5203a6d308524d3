#include <gtest/gtest.h>
#include <sys/socket.h>

#include <thread>

#include "connection/IpxSpxConnection.h"
#include "platform/UniqueFd.h"

namespace upkeep {
namespace {

// Hands the connection one end of a local socket pair and keeps the other
// end as the "network interface".
class PairTransport : public platform::IpxTransport {
  public:
    explicit PairTransport(platform::UniqueFd* peer) : peer_(peer) {}
    platform::UniqueSocket createSocket(bool sequencedPacket) override {
        int fds[2];
        if (::socketpair(AF_UNIX, sequencedPacket ? SOCK_SEQPACKET : SOCK_DGRAM, 0, fds) != 0)
            return {};
        peer_->reset(fds[1]);
        return platform::UniqueSocket(fds[0]);
    }
    bool connect(platform::SocketHandle, const platform::IpxAddress& address) override {
        connectedTo = address;
        return true;
    }
    platform::IpxAddress connectedTo;

  private:
    platform::UniqueFd* peer_;
};

std::string receive(int fd) {
    char buffer[2048];
    ssize_t n = ::recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

void reply(int fd, const std::string& bytes) {
    ::send(fd, bytes.data(), bytes.size(), 0);
}

TEST(IpxSpxConnection, AddressText) {
    auto a = IpxSpxConnection::parseAddress("0000000A.00A0C9123456");
    ASSERT_TRUE(a);
    EXPECT_EQ(a->network, (std::array<std::uint8_t, 4>{0, 0, 0, 0x0A}));
    EXPECT_EQ(a->node, (std::array<std::uint8_t, 6>{0, 0xA0, 0xC9, 0x12, 0x34, 0x56}));
    for (const char* bad :
         {"", "0000000A", "0000000A.00A0C9", "zz.00A0C9123456", "000A.00A0C9123456"}) {
        EXPECT_FALSE(IpxSpxConnection::parseAddress(bad)) << bad;
    }
}

TEST(IpxSpxConnection, NoTransportOnThisPlatformFailsCleanly) {
    auto c = createConnection(PortDescriptor("0000000A.00A0C9123456", PortType::IpxSpx, 0));
    ASSERT_TRUE(c);
    EXPECT_FALSE(c->open());
    std::uint8_t byte = 0;
    EXPECT_FALSE(c->write(&byte, 1));
    std::size_t length = 1;
    EXPECT_FALSE(c->read(&byte, length));
}

TEST(IpxSpxConnection, OpenExchange) {
    struct Case {
        std::vector<std::string> replies;
        bool opens;
    } cases[] = {
        {{std::string("\x10\x00", 2)}, true},
        {{std::string("\x10\x01", 2)}, false},
        {{"\x20\x05", std::string("\x00\x00", 2), std::string("\x10\x00", 2)}, true},
    };
    platform::ScopedTimeScale scale(0.01);
    for (const Case& c : cases) {
        platform::UniqueFd peer;
        auto transport = std::make_unique<PairTransport>(&peer);
        PairTransport* seen = transport.get();
        IpxSpxConnection conn(PortDescriptor("0000000A.00A0C9123456", PortType::IpxSpx, 0),
                              std::move(transport));
        ASSERT_TRUE(conn.hasSocket());
        for (const std::string& r : c.replies)
            reply(peer.get(), r);
        EXPECT_EQ(conn.open(), c.opens);
        EXPECT_EQ(seen->connectedTo.socket, IpxSpxConnection::kDataSocket);
        EXPECT_EQ(receive(peer.get()), std::string("\x10\0\0\0\0\0\0\0\0\0", 10));
    }
}

TEST(IpxSpxConnection, DataHeaderOnTheDataChannelOnly) {
    platform::ScopedTimeScale scale(0.01);
    const std::uint8_t data[] = {'h', 'e', 'l', 'l', 'o'};
    const struct {
        std::uint32_t channel;
        std::uint16_t socket;
        std::string header;
    } cases[] = {{0, IpxSpxConnection::kDataSocket, std::string("\x12\0\0\0\0\0", 6)},
                 {1, IpxSpxConnection::kSnmpSocket, ""}};
    for (const auto& c : cases) {
        platform::UniqueFd peer;
        auto transport = std::make_unique<PairTransport>(&peer);
        PairTransport* seen = transport.get();
        IpxSpxConnection conn(PortDescriptor("0000000A.00A0C9123456", PortType::IpxSpx, c.channel),
                              std::move(transport));
        if (c.channel == 0)
            reply(peer.get(), std::string("\x10\x00", 2));
        ASSERT_TRUE(conn.open());
        EXPECT_EQ(seen->connectedTo.socket, c.socket);
        if (c.channel == 0)
            receive(peer.get());  // the open request; the SNMP channel sends none
        EXPECT_TRUE(conn.write(data, 5));
        EXPECT_EQ(receive(peer.get()), c.header + "hello");
        EXPECT_TRUE(conn.write(data, 0));
        EXPECT_EQ(receive(peer.get()), c.header);
    }
    IpxSpxConnection unset(PortDescriptor("0000000A.00A0C9123456", PortType::IpxSpx, 7), nullptr);
    EXPECT_FALSE(unset.hasSocket());
}

}  // namespace
}  // namespace upkeep
