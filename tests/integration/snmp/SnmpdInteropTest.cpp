// The query against the real Net-SNMP agent: proves the encoding and the
// value rule against an independent implementation.

#include <gtest/gtest.h>

#include "printer/Community.h"
#include "printer/SnmpQuery.h"
#include "support/CommandRunner.h"
#include "support/Paths.h"
#include "support/SnmpdProcess.h"

namespace upkeep {
namespace {

class SnmpdInterop : public ::testing::Test {
  protected:
    void SetUp() override {
        if (!test::SnmpdProcess::available())
            GTEST_SKIP() << "snmpd is not installed";
        agent_ = std::make_unique<test::SnmpdProcess>(
            "quenby", std::vector<test::SnmpdProcess::Object>{
                          {"1.3.6.1.3.77.1.1.0", std::string("\x01\x02Meridot 4000", 14)},
                          {"1.3.6.1.3.77.1.2.0", std::string("\x00\x00"
                                                             "2.10",
                                                             6)}});
        ASSERT_TRUE(agent_->started()) << "snmpd did not start";
    }
    void TearDown() override { setCommunity(kDefaultCommunity); }
    std::unique_ptr<test::SnmpdProcess> agent_;
};

TEST_F(SnmpdInterop, StandardObjectsComeBackWithoutTheirFirstTwoCharacters) {
    SnmpQuery query(PortDescriptor(agent_->address(), PortType::TcpIp, channel::kUnset));
    std::string a, b;
    // Whatever the two leading octets hold, they are not part of the text.
    ASSERT_TRUE(query.query("1.3.6.1.3.77.1.1.0", "1.3.6.1.3.77.1.2.0", a, b));
    EXPECT_EQ(a, "Meridot 4000");
    EXPECT_EQ(b, "2.10");
}

TEST_F(SnmpdInterop, MissingObjectFailsTheWholeQuery) {
    SnmpQuery query(PortDescriptor(agent_->address(), PortType::TcpIp, channel::kUnset));
    std::string a = "x", b = "y";
    EXPECT_FALSE(query.query("1.3.6.1.3.77.1.1.0", "1.3.6.1.3.77.9.9.0", a, b));
    EXPECT_EQ(a, "");
    EXPECT_EQ(b, "");
}

TEST_F(SnmpdInterop, CommandLineToolExitCodes) {
    auto ok = test::runCommand({test::ctlPath(), "query", agent_->address(), "1.3.6.1.3.77.1.1.0",
                                "1.3.6.1.3.77.1.2.0", "--json"});
    EXPECT_EQ(ok.exitCode, 0) << ok.err;
    EXPECT_EQ(ok.out, "{\"a\": \"Meridot 4000\", \"b\": \"2.10\"}\n");

    auto wrongCommunity =
        test::runCommand({test::ctlPath(), "query", agent_->address(), "1.3.6.1.3.77.1.1.0",
                          "1.3.6.1.3.77.1.2.0", "--community", "other"},
                         {{"UPKEEP_TIME_SCALE", "0.01"}});
    EXPECT_EQ(wrongCommunity.exitCode, 1);
    EXPECT_NE(wrongCommunity.err.find("no valid response"), std::string::npos);

    auto missing = test::runCommand(
        {test::ctlPath(), "query", agent_->address(), "1.3.6.1.3.77.1.1.0", "1.3.6.1.3.77.5.0"});
    EXPECT_EQ(missing.exitCode, 1);

    auto usage = test::runCommand({test::ctlPath(), "query", agent_->address()});
    EXPECT_EQ(usage.exitCode, 2);
    EXPECT_NE(usage.err.find("usage:"), std::string::npos);

    // A label over 63 characters fails in the resolver before any query is
    // sent, so no name server is asked.
    const std::string unresolvableName = "h" + std::string(70, 'x') + ".invalid";
    auto unresolvable =
        test::runCommand({test::ctlPath(), "query", unresolvableName, "1.3.6.1", "1.3.6.2"});
    EXPECT_EQ(unresolvable.exitCode, 1);
    EXPECT_NE(unresolvable.err.find("cannot resolve"), std::string::npos);
}

}  // namespace
}  // namespace upkeep
