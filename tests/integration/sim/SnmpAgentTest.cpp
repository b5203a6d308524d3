// The simulator's SNMPv1 agent, spoken to with hand-made datagrams.

#include <gtest/gtest.h>

#include <random>

#include "integration/sim/RawClient.h"
#include "support/SimProcess.h"

namespace upkeep::test {
namespace {

const std::string kModel = "1.3.6.1.3.77.1.1.0";
const std::string kVersion = "1.3.6.1.3.77.1.2.0";

std::string withPrefix(const std::string& text) {
    return std::string(2, '\0') + text;
}

class SnmpAgentTest : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        sim_ = std::make_unique<SimProcess>(R"(
[printer]
address = @ADDR1@
model = Meridot 4000
version = 1.20
subsystem = Cutter X | 2.1
subsystem = Heater | 0.9
object 1.3.6.1.2.1.1.5.0 = front desk
media = Photo | Glossy
media = Photo | Matte

[printer]
address = @ADDR2@
model = Meridot 4000
version = 1.20
snmp-drop = 1.3.6.1.3.77.1.1.0
snmp-request-id = 7

[printer]
address = @ADDR3@
model = Meridot 4000
snmp = error:5

[printer]
address = @ADDR4@
model = Meridot 4000
snmp = silent

[printer]
address = @ADDR5@
model = Meridot 4000
snmp = malformed

[printer]
address = @ADDR6@
community = secret
model = Meridot 4000
version = 2.0
value-prefix = ABCD
)");
    }
    static void TearDownTestSuite() { sim_.reset(); }

    void SetUp() override { ASSERT_TRUE(sim_->ok()) << sim_->error(); }

    static std::unique_ptr<SimProcess> sim_;
};

std::unique_ptr<SimProcess> SnmpAgentTest::sim_;

TEST_F(SnmpAgentTest, AnswersBothObjectsWithTheRequestIdAndTwoLeadingOctets) {
    auto reply = raw::snmpGet(sim_->address(0), "quenby", {kModel, kVersion}, 0x1234);
    ASSERT_TRUE(reply && reply->decoded);
    EXPECT_EQ(reply->pduType, 0xA2);
    EXPECT_EQ(reply->requestId, 0x1234);
    EXPECT_EQ(reply->errorStatus, 0);
    ASSERT_EQ(reply->bindings.size(), 2u);
    EXPECT_EQ(reply->bindings[0].oid, kModel);
    EXPECT_EQ(reply->bindings[0].type, 0x04);
    EXPECT_EQ(reply->bindings[0].value, withPrefix("Meridot 4000"));
    EXPECT_EQ(reply->bindings[1].oid, kVersion);
    EXPECT_EQ(reply->bindings[1].value, withPrefix("1.20"));
}

TEST_F(SnmpAgentTest, ServesSubsystemsConfiguredObjectsAndTheMediaTable) {
    struct Case {
        std::string a, b, valueA, valueB;
    } cases[] = {
        {"1.3.6.1.3.77.2.1.1.0", "1.3.6.1.3.77.2.1.2.0", "Cutter X", "2.1"},
        {"1.3.6.1.3.77.2.2.1.0", "1.3.6.1.3.77.2.2.2.0", "Heater", "0.9"},
        {"1.3.6.1.2.1.1.5.0", kModel, "front desk", "Meridot 4000"},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1.1.0", "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.2.1.0",
         "Photo", "Glossy"},
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1.2.0", "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.2.2.0",
         "Photo", "Matte"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.a);
        auto reply = raw::snmpGet(sim_->address(0), "quenby", {c.a, c.b});
        ASSERT_TRUE(reply && reply->decoded);
        ASSERT_EQ(reply->errorStatus, 0);
        ASSERT_EQ(reply->bindings.size(), 2u);
        EXPECT_EQ(reply->bindings[0].value, withPrefix(c.valueA));
        EXPECT_EQ(reply->bindings[1].value, withPrefix(c.valueB));
    }
}

TEST_F(SnmpAgentTest, UnknownObjectGivesNoSuchNameWithItsIndex) {
    const std::string unknown = "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1.3.0";  // row after the last
    auto reply = raw::snmpGet(sim_->address(0), "quenby", {kModel, unknown});
    ASSERT_TRUE(reply && reply->decoded);
    EXPECT_EQ(reply->pduType, 0xA2);
    EXPECT_EQ(reply->errorStatus, 2);
    EXPECT_EQ(reply->errorIndex, 2);
    ASSERT_EQ(reply->bindings.size(), 2u);
    EXPECT_EQ(reply->bindings[1].oid, unknown);
    EXPECT_EQ(reply->bindings[1].type, 0x05);  // the request's own binding
}

TEST_F(SnmpAgentTest, WrongCommunityAndOtherVersionsGetNoReply) {
    EXPECT_FALSE(raw::snmpGet(sim_->address(0), "public", {kModel, kVersion}, 1,
                              std::chrono::milliseconds(100)));
    EXPECT_FALSE(raw::snmpGet(sim_->address(5), "quenby", {kModel, kVersion}, 1,
                              std::chrono::milliseconds(100)));
    // The right community still works afterwards, with its own prefix.
    auto reply = raw::snmpGet(sim_->address(5), "secret", {kModel, kVersion});
    ASSERT_TRUE(reply && reply->decoded);
    ASSERT_EQ(reply->bindings.size(), 2u);
    EXPECT_EQ(reply->bindings[1].value,
              "\xAB\xCD"
              "2.0");
}

TEST_F(SnmpAgentTest, DroppedBindingLeavesOnlyTheOtherAndForcedRequestId) {
    auto reply = raw::snmpGet(sim_->address(1), "quenby", {kModel, kVersion}, 99);
    ASSERT_TRUE(reply && reply->decoded);
    EXPECT_EQ(reply->requestId, 7);
    EXPECT_EQ(reply->errorStatus, 0);
    ASSERT_EQ(reply->bindings.size(), 1u);
    EXPECT_EQ(reply->bindings[0].oid, kVersion);
}

TEST_F(SnmpAgentTest, FaultsOnRequest) {
    auto error = raw::snmpGet(sim_->address(2), "quenby", {kModel, kVersion});
    ASSERT_TRUE(error && error->decoded);
    EXPECT_EQ(error->errorStatus, 5);

    EXPECT_FALSE(raw::snmpGet(sim_->address(3), "quenby", {kModel, kVersion}, 1,
                              std::chrono::milliseconds(100)));

    auto malformed = raw::snmpGet(sim_->address(4), "quenby", {kModel, kVersion});
    ASSERT_TRUE(malformed);
    EXPECT_FALSE(malformed->bytes.empty());
    EXPECT_FALSE(malformed->decoded);
}

TEST_F(SnmpAgentTest, BrokenRequestsAreIgnoredAndTheAgentGoesOn) {
    const std::string request = raw::getRequest("quenby", 1, {kModel});
    std::vector<std::string> broken = {"", "\x30", "\x30\x84\xff\xff\xff\xff",
                                       std::string("\x30\x80\x00\x00", 4)};
    for (std::size_t cut = 1; cut < request.size(); ++cut)
        broken.push_back(request.substr(0, cut));  // lengths that promise more than arrives
    broken.push_back(raw::getRequest("quenby", 42, {kModel, kVersion}));
    const auto replies = raw::udpBurst(sim_->address(0), broken, 42);
    ASSERT_EQ(replies.size(), 1u);
    const raw::SnmpReply reply = raw::decodeReply(replies[0]);
    ASSERT_TRUE(reply.decoded);
    EXPECT_EQ(reply.requestId, 42);
    EXPECT_EQ(reply.bindings.size(), 2u);
}

TEST_F(SnmpAgentTest, SurvivesMutatedRequests) {
    // Random bytes changed in valid requests: whatever the agent makes of
    // them, it must go on answering (the suite also runs under ASan).
    std::mt19937 random(11);
    const std::string request =
        raw::getRequest("quenby", 3, {kModel, "1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1.1.0"});
    bool answered = false;
    for (int round = 0; round < 8; ++round) {
        std::vector<std::string> mutated;
        for (int i = 0; i < 50; ++i) {
            std::string m = request;
            for (int flips = 1 + static_cast<int>(random() % 3); flips > 0; --flips)
                m[random() % m.size()] = static_cast<char>(random());
            mutated.push_back(m);
        }
        // Few enough per round that no datagram is dropped for lack of room.
        mutated.push_back(raw::getRequest("quenby", 4242 + round, {kModel, kVersion}));
        const auto replies = raw::udpBurst(sim_->address(0), mutated, 4242 + round);
        answered = false;
        for (const std::string& bytes : replies) {
            const raw::SnmpReply r = raw::decodeReply(bytes);
            answered =
                answered || (r.decoded && r.requestId == 4242 + round && r.bindings.size() == 2);
        }
        ASSERT_TRUE(answered) << "round " << round << ", " << replies.size() << " replies";
    }
}

}  // namespace
}  // namespace upkeep::test
