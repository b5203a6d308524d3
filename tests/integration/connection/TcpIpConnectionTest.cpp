// TcpIpConnection against plain sockets on loopback: time-outs (scaled),
// a peer that goes away, byte-exact transfer.

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

#include "connection/TcpIpConnection.h"
#include "platform/Clock.h"
#include "platform/UniqueFd.h"
#include "support/SnmpdProcess.h"

namespace upkeep {
namespace {

using Clock = std::chrono::steady_clock;

// A listening TCP socket on port 9100 of a fresh loopback address.
struct Listener {
    Listener() {
        for (int attempt = 0; attempt < 20 && !fd.valid(); ++attempt) {
            address = test::randomLoopbackAddress();
            platform::UniqueFd s(::socket(AF_INET, SOCK_STREAM, 0));
            int one = 1;
            ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
            const sockaddr_in a = port9100();
            if (::bind(s.get(), reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0 &&
                ::listen(s.get(), 4) == 0)
                fd = std::move(s);
        }
    }
    sockaddr_in port9100() const {
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(9100);
        inet_pton(AF_INET, address.c_str(), &a.sin_addr);
        return a;
    }
    platform::UniqueFd accept() { return platform::UniqueFd(::accept(fd.get(), nullptr, nullptr)); }
    std::string address;
    platform::UniqueFd fd;
};

// A connection to a fresh listener, and the listener's end of it.
class TcpIpConnectionLoopback : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(listener.fd.valid());
        conn = std::make_unique<TcpIpConnection>(
            PortDescriptor(listener.address, PortType::TcpIp, channel::kData));
        ASSERT_TRUE(conn->open());
        peer = listener.accept();
    }
    Listener listener;
    std::unique_ptr<TcpIpConnection> conn;
    platform::UniqueFd peer;
};

TEST_F(TcpIpConnectionLoopback, SilentPeerFailsTheReadAfterTheScaledTimeOut) {
    platform::ScopedTimeScale scale(0.01);  // 10 s become 100 ms
    std::uint8_t buffer[64];
    std::size_t length = sizeof buffer;
    auto start = Clock::now();
    EXPECT_FALSE(conn->read(buffer, length));
    auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start);
    EXPECT_GE(waited.count(), 95);
    EXPECT_LT(waited.count(), 2000);
}

TEST_F(TcpIpConnectionLoopback, BytesArriveUnchangedAndAClosedPeerReadsAsZero) {
    std::vector<std::uint8_t> data(200'000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(i * 7 + 3);
    std::string received;
    std::thread reader([&] {
        char chunk[8192];
        ssize_t n;
        while ((n = ::recv(peer.get(), chunk, sizeof chunk, 0)) > 0)
            received.append(chunk, n);
        ::shutdown(peer.get(), SHUT_WR);
    });
    EXPECT_TRUE(conn->write(data.data(), 0));
    EXPECT_TRUE(conn->write(data.data(), data.size()));
    EXPECT_TRUE(conn->finishSending({}));
    reader.join();
    std::uint8_t buffer[16];
    std::size_t length = sizeof buffer;
    EXPECT_TRUE(conn->read(buffer, length));  // the peer's end of stream
    EXPECT_EQ(length, 0u);
    EXPECT_EQ(received, std::string(data.begin(), data.end()));
}

// A write that waits for room tells, as it waits, what the peer took
// meanwhile: a slow printer's progress shows before the write returns.
TEST_F(TcpIpConnectionLoopback, AWriteWaitingForRoomTellsWhatThePeerTook) {
    std::atomic<bool> stop{false};
    std::thread slowPeer([&] {
        char chunk[4096];
        while (!stop.load()) {
            ::recv(peer.get(), chunk, sizeof chunk, MSG_DONTWAIT);
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    std::vector<std::uint64_t> told;
    const Connection::UnconfirmedReport report = [&](std::uint64_t unconfirmed) {
        told.push_back(unconfirmed);
    };
    conn->reportWhileWriting(&report);
    std::atomic<bool> cancel{false};
    conn->watchCancel(&cancel);
    std::thread canceler([&] {
        std::this_thread::sleep_for(std::chrono::seconds(1));
        cancel.store(true);
    });
    // Far more than the sockets' buffers hold: the write waits until canceled.
    std::vector<std::uint8_t> data(64 << 20, 'f');
    EXPECT_FALSE(conn->write(data.data(), data.size()));
    canceler.join();
    stop.store(true);
    slowPeer.join();
    ASSERT_GE(told.size(), 2u);
    EXPECT_LT(told.back(), told.front());
    EXPECT_LE(told.front(), data.size());
}

TEST_F(TcpIpConnectionLoopback, FinishingTellsWhetherThePeerTookEveryByte) {
    // Small enough for the sockets' buffers: every write succeeds whatever
    // the peer does with the bytes, and its kernel acknowledges them all.
    enum class Peer {
        ReadsAndCloses,
        ReadsAndStaysOpen,
        ClosesUnread,
        EndsUnread,
        ReadsSomeAndEnds,
        Canceled
    };
    const struct {
        Peer peer;
        bool took;
    } cases[] = {
        {Peer::ReadsAndCloses, true}, {Peer::ReadsAndStaysOpen, true}, {Peer::ClosesUnread, false},
        {Peer::EndsUnread, false},    {Peer::ReadsSomeAndEnds, false}, {Peer::Canceled, false},
    };
    platform::ScopedTimeScale scale(0.01);
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.peer));
        if (!conn) {
            SetUp();
        }
        std::vector<std::uint8_t> data(100'000, 'f');
        ASSERT_TRUE(conn->write(data.data(), data.size()));
        if (c.peer == Peer::EndsUnread) {
            // It ends its side before the last block and reads no more: the
            // block goes nowhere, and nothing after it counts as taken.
            ::shutdown(peer.get(), SHUT_WR);
            std::uint8_t end[1];
            std::size_t length = sizeof end;
            ASSERT_TRUE(conn->read(end, length));
            EXPECT_FALSE(conn->write(data.data(), data.size()));
        }
        std::thread peerSide([&] {
            char chunk[8192];
            if (c.peer == Peer::ClosesUnread) {
                peer.reset();
                return;
            }
            if (c.peer == Peer::EndsUnread)
                return;
            if (c.peer == Peer::ReadsSomeAndEnds) {
                // Everything was acknowledged; only its window, short of
                // what it left unread, tells.
                ::recv(peer.get(), chunk, 1000, MSG_WAITALL);
                ::shutdown(peer.get(), SHUT_WR);
                return;
            }
            while (::recv(peer.get(), chunk, sizeof chunk, 0) > 0) {
            }
            if (c.peer == Peer::ReadsAndCloses)
                peer.reset();
        });
        std::atomic<bool> cancel{c.peer == Peer::Canceled};
        conn->watchCancel(&cancel);
        EXPECT_EQ(conn->finishSending({}), c.took);
        peerSide.join();
        conn.reset();
        peer.reset();
    }
}

// A port nobody listens on refuses at once; a printer whose queue of
// connections is full never answers the connect, which ends by the scaled
// time-out or a cancel.
TEST(TcpIpConnectionRefused, ConnectFails) {
    platform::ScopedTimeScale scale(0.01);
    for (const char* how : {"refused", "queue full", "queue full, canceled"}) {
        SCOPED_TRACE(how);
        Listener listener;
        ASSERT_TRUE(listener.fd.valid());
        std::vector<platform::UniqueFd> queued;
        if (std::string_view(how) == "refused") {
            listener.fd.reset();
        } else {
            // Its queue takes one connection beyond a backlog of 0; the rest
            // wait on their SYNs.
            ASSERT_EQ(::listen(listener.fd.get(), 0), 0);
            const sockaddr_in a = listener.port9100();
            for (int i = 0; i < 3; ++i) {
                queued.emplace_back(::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK, 0));
                ::connect(queued.back().get(), reinterpret_cast<const sockaddr*>(&a), sizeof a);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        TcpIpConnection conn(PortDescriptor(listener.address, PortType::TcpIp, channel::kData));
        std::atomic<bool> cancel{std::string_view(how).ends_with("canceled")};
        conn.watchCancel(&cancel);
        EXPECT_FALSE(conn.open());
    }
}

}  // namespace
}  // namespace upkeep
