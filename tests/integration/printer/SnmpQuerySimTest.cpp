// SnmpQuery's read time-out against a silent agent on loopback; its answers
// are checked through the analysis (AnalysisSim) and the query command.

#include <gtest/gtest.h>

#include "integration/sim/SimHelpers.h"
#include "platform/Clock.h"
#include "printer/SnmpQuery.h"
#include "support/SimProcess.h"

namespace upkeep {
namespace {

constexpr const char* kModelOid = "1.3.6.1.3.77.1.1.0";
constexpr const char* kVersionOid = "1.3.6.1.3.77.1.2.0";

bool ask(const std::string& address) {
    SnmpQuery query(PortDescriptor(address, PortType::TcpIp, channel::kUnset));
    std::string model, version;
    return query.query(kModelOid, kVersionOid, model, version);
}

TEST(SnmpQuerySim, SilentAgentFailsAfterTheScaledReadTimeOut) {
    test::SimProcess sim(test::simPrinter(1, "", "", "snmp = silent\n"));
    ASSERT_TRUE(sim.ok()) << sim.error();
    platform::ScopedTimeScale scale(0.005);  // 10 s read time-out: 50 ms
    auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(ask(sim.address(0)));
    auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_GE(waited, std::chrono::milliseconds(45));
    EXPECT_LT(waited, std::chrono::milliseconds(2000));
}

}  // namespace
}  // namespace upkeep
