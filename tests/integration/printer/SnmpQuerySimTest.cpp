// SnmpQuery against simulated printers on loopback.

#include <gtest/gtest.h>

#include "integration/sim/SimHelpers.h"
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

TEST(SnmpQuerySim, AnswersFailuresAndCommunity) {
    test::SimProcess sim(
        test::simPrinter(1, "Meridot-4000", "3.10") +
        test::simPrinter(2, "Meridot-4000", "3.10", "snmp-drop = 1.3.6.1.3.77.1.1.0\n") +
        test::simPrinter(3, "Meridot-5200", "6.00", "community = private7\n") +
        test::simPrinter(4, "Meridot-5200", "6.10", "community = \"\"\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.01);
    // An error status, a malformed reply and a reply's request-id that is
    // not examined are AnalysisSim's sweep rows, asked through this query.
    struct Case {
        std::size_t printer;
        Answer expected;
    } cases[] = {
        {0, {true, "Meridot-4000", "3.10"}}, {1, {true, "", "3.10"}},  // only OID B answered
    };
    for (const Case& c : cases) {
        Answer got = ask(sim.address(c.printer));
        SCOPED_TRACE(c.printer);
        EXPECT_EQ(got.ok, c.expected.ok);
        EXPECT_EQ(got.a, c.expected.a);
        EXPECT_EQ(got.b, c.expected.b);
    }
    // A community change reaches the next request; "quenby" is dropped there.
    EXPECT_FALSE(ask(sim.address(2)).ok);
    setCommunity("private7");
    Answer got = ask(sim.address(2));
    EXPECT_TRUE(got.ok);
    EXPECT_EQ(got.a, "Meridot-5200");
    // The empty community is sent, not dropped.
    setCommunity("");
    EXPECT_EQ(ask(sim.address(3)).b, "6.10");
    setCommunity(kDefaultCommunity);
}

TEST(SnmpQuerySim, SilentAgentFailsAfterTheScaledReadTimeOut) {
    test::SimProcess sim(test::simPrinter(1, "", "", "snmp = silent\n"));
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
