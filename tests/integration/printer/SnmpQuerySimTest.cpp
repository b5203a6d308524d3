// SnmpQuery against simulated printers on loopback.

#include <gtest/gtest.h>

#include "platform/Clock.h"
#include "printer/Community.h"
#include "printer/SnmpQuery.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

constexpr const char* kModelOid = "1.3.6.1.3.77.1.1.0";
constexpr const char* kVersionOid = "1.3.6.1.3.77.1.2.0";

struct Answer {
    bool ok;
    std::string a, b;
};

Answer ask(const std::string& address) {
    SnmpQuery query(PortDescriptor(address, PortType::TcpIp, channel::kUnset));
    Answer answer;
    answer.ok = query.query(kModelOid, kVersionOid, answer.a, answer.b);
    return answer;
}

TEST(SnmpQuerySim, AnswersAndFailures) {
    test::SimProcess sim(R"(
[printer]
address = @ADDR1@
model = Meridot-4000
version = 3.10
[printer]
address = @ADDR2@
model = Meridot-4000
version = 3.10
snmp-drop = 1.3.6.1.3.77.1.1.0
[printer]
address = @ADDR3@
model = Meridot-4000
version = 3.10
snmp = error:2
[printer]
address = @ADDR4@
snmp = malformed
[printer]
address = @ADDR5@
model = Meridot-4000
version = 4.00
snmp-request-id = 7
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.01);
    struct Case {
        std::size_t printer;
        Answer expected;
    } cases[] = {
        {0, {true, "Meridot-4000", "3.10"}},
        {1, {true, "", "3.10"}},  // only OID B answered
        {2, {false, "", ""}},     // noSuchName fails the whole query
        {3, {false, "", ""}},
    };
    for (const Case& c : cases) {
        Answer got = ask(sim.address(c.printer));
        EXPECT_EQ(got.ok, c.expected.ok) << "printer " << c.printer;
        EXPECT_EQ(got.a, c.expected.a) << "printer " << c.printer;
        EXPECT_EQ(got.b, c.expected.b) << "printer " << c.printer;
    }
    // The reply's request-id is not examined.
    Answer other = ask(sim.address(4));
    EXPECT_TRUE(other.ok);
    EXPECT_EQ(other.b, "4.00");
}

TEST(SnmpQuerySim, CommunityChangeReachesTheNextRequest) {
    test::SimProcess sim(R"(
[printer]
address = @ADDR1@
community = private7
model = Meridot-5200
version = 6.00
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.01);
    EXPECT_FALSE(ask(sim.address(0)).ok);  // "quenby" is dropped by the agent
    setCommunity("private7");
    Answer got = ask(sim.address(0));
    setCommunity(kDefaultCommunity);
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.a, "Meridot-5200");
}

TEST(SnmpQuerySim, SilentAgentFailsAfterTheScaledReadTimeOut) {
    test::SimProcess sim(R"(
[printer]
address = @ADDR1@
snmp = silent
)");
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.005);  // 10 s read time-out: 50 ms
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ask(sim.address(0)).ok);
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(45));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

}  // namespace
}  // namespace upkeep
