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

// Whatever the two leading octets hold, they are not part of the text; a
// missing object fails the whole query.
TEST_F(SnmpdInterop, StandardObjectsLoseTheirFirstTwoCharacters) {
    SnmpQuery query(PortDescriptor(agent_->address(), PortType::TcpIp, channel::kUnset));
    std::string a, b;
    ASSERT_TRUE(query.query("1.3.6.1.3.77.1.1.0", "1.3.6.1.3.77.1.2.0", a, b));
    EXPECT_EQ(a, "Meridot 4000");
    EXPECT_EQ(b, "2.10");
    EXPECT_FALSE(query.query("1.3.6.1.3.77.1.1.0", "1.3.6.1.3.77.9.9.0", a, b));
    EXPECT_EQ(a, "");
    EXPECT_EQ(b, "");
}

TEST_F(SnmpdInterop, CommandLineToolExitCodes) {
    const std::string agent = agent_->address(), a = "1.3.6.1.3.77.1.1.0", b = "1.3.6.1.3.77.1.2.0";
    std::string longOid = "1.3";
    for (int i = 0; i < 100; ++i)
        longOid += ".200";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* err;
        const char* timeScale = "1";  // an unanswered query waits its time-outs out
    } cases[] = {
        {{agent, a, b, "--json"}, 0, ""},
        {{agent, a, b, "--community", "other"}, 1, "no valid response", "0.01"},
        // The empty community is sent, and refused by an agent that has another.
        {{agent, a, b, "--community", ""}, 1, "no valid response", "0.01"},
        {{agent, a, "1.3.6.1.3.77.5.0"}, 1, ""},
        {{agent}, 2, "usage:"},
        // Refused before anything is sent: the agent would answer them.
        {{agent, "1.3.6.1.4.1.300.1", b}, 2, "above 255"},
        {{agent, a, "abc"}, 2, "not an OID"},
        {{agent, "", b}, 2, "may not be empty"},
        {{agent, longOid, longOid}, 2, "do not fit"},
        // A label over 63 characters fails in the resolver before any query
        // is sent, so no name server is asked.
        {{"h" + std::string(70, 'x') + ".invalid", "1.3.6.1", "1.3.6.2"}, 1, "cannot resolve"},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv = {test::ctlPath(), "query"};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        auto result = test::runCommand(argv, {{"UPKEEP_TIME_SCALE", c.timeScale}});
        EXPECT_EQ(result.exitCode, c.exitCode) << c.args.back() << ": " << result.err;
        EXPECT_NE(result.err.find(c.err), std::string::npos) << result.err;
        if (c.exitCode == 0) {
            EXPECT_EQ(result.out, "[{\"oid\": \"" + a +
                                      "\", \"value\": \"Meridot 4000\"}, {\"oid\": \"" + b +
                                      "\", \"value\": \"2.10\"}]\n");
        }
    }
}

}  // namespace
}  // namespace upkeep
