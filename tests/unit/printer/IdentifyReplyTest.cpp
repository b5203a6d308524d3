#include <gtest/gtest.h>

#include "printer/IdentifyReply.h"

namespace upkeep {
namespace {

IdentifyReply parse(const std::string& text) {
    return parseIdentifyReply(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
}

TEST(IdentifyReply, ReplyShapes) {
    struct Case {
        std::string reply;
        std::string model, version;
        std::vector<std::pair<std::string, std::string>> subsystems;
    } cases[] = {
        {"M1,S1,S2;V1,W1,W2\r\n", "M1", "V1", {{"S1", "W1"}, {"S2", "W2"}}},
        // No comma: the whole reply, line end included, is the model.
        {"M1;V1\r\n", "M1;V1\r\n", "", {}},
        {"M1,;V1", "M1", "V1", {{"", ""}}},
        // More versions than models: the count follows the versions.
        {"M1,S1;V1,W1,W2,W3", "M1", "V1", {{"S1", "W1"}, {"", "W2"}, {"", "W3"}}},
        {"M1,S1;V1,W1\r\ntrailing,junk", "M1", "V1", {{"S1", "W1"}}},
        {std::string("M1,S1\0;V1", 9), "M1", "", {{"S1", ""}}},
        {"", "", "", {}},
    };
    for (const Case& c : cases) {
        IdentifyReply r = parse(c.reply);
        EXPECT_EQ(r.model.view(), c.model) << c.reply;
        EXPECT_EQ(r.version.view(), c.version) << c.reply;
        ASSERT_EQ(r.subsystemCount, c.subsystems.size()) << c.reply;
        for (std::size_t i = 0; i < c.subsystems.size(); ++i) {
            EXPECT_EQ(r.subsystemModels[i].view(), c.subsystems[i].first)
                << c.reply << " slot " << i;
            EXPECT_EQ(r.subsystemVersions[i].view(), c.subsystems[i].second)
                << c.reply << " slot " << i;
        }
    }
}

TEST(IdentifyReply, MoreThanEightSubsystemsAreDroppedWithoutShiftingTheRest) {
    std::string models = "M", versions = "V";
    for (int i = 1; i <= 11; ++i) {
        models += ",S" + std::to_string(i);
        versions += ",W" + std::to_string(i);
    }
    IdentifyReply r = parse(models + ";" + versions + "\r\n");
    EXPECT_EQ(r.subsystemCount, 8u);
    EXPECT_EQ(r.version.view(), "V");
    EXPECT_EQ(r.subsystemModels[7].view(), "S8");
    EXPECT_EQ(r.subsystemVersions[7].view(), "W8");
}

TEST(IdentifyReply, LongValuesAreCutAtTheFieldAndTheRestStillParses) {
    std::string longModel(300, 'm');
    IdentifyReply r =
        parse(longModel + "," + std::string(200, 's') + ";" + std::string(150, 'v') + ",w");
    EXPECT_EQ(r.model.view(), std::string(127, 'm'));
    EXPECT_EQ(r.subsystemModels[0].view(), std::string(127, 's'));
    EXPECT_EQ(r.version.view(), std::string(127, 'v'));
    EXPECT_EQ(r.subsystemVersions[0].view(), "w");
}

TEST(IdentifyReply, UnterminatedReplyAtTheReadLimitStaysWithinTheBytes) {
    // 1023 bytes with no terminator: nothing past them is read.
    std::string reply = "M," + std::string(1021, 'x');
    std::vector<std::uint8_t> buffer(reply.begin(), reply.end());
    IdentifyReply r = parseIdentifyReply(buffer.data(), buffer.size());
    EXPECT_EQ(r.model.view(), "M");
    EXPECT_EQ(r.subsystemCount, 1u);
    EXPECT_EQ(r.version.view(), "");
}

TEST(PjlJobs, ExactBytes) {
    EXPECT_EQ(pjl::kEchoJob.size(), 26u);
    EXPECT_EQ(pjl::kIdentifyJob.size(), 65u);
    EXPECT_EQ(pjl::kIdentifyJob.back(), 'J');
}

}  // namespace
}  // namespace upkeep
