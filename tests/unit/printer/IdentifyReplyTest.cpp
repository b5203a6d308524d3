#include <gtest/gtest.h>

#include "printer/IdentifyReply.h"

namespace upkeep {
namespace {

IdentifyReply parseReply(const std::string& text) {
    // An exact-size copy, so that a read past the reply is caught.
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    return parseIdentifyReply(bytes.data(), bytes.size());
}

TEST(IdentifyReply, ReplyShapes) {
    using Pairs = std::vector<std::pair<std::string, std::string>>;
    std::string models = "M", versions = "V";
    Pairs firstEight;
    for (int i = 1; i <= 11; ++i) {
        models += ",S" + std::to_string(i);
        versions += ",W" + std::to_string(i);
        if (i <= 8)
            firstEight.emplace_back("S" + std::to_string(i), "W" + std::to_string(i));
    }
    const std::string cut(127, 'm');
    struct Case {
        std::string reply;
        std::string model, version;
        Pairs subsystems;
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
        // Subsystems beyond the eighth are dropped without shifting the rest.
        {models + ";" + versions + "\r\n", "M", "V", firstEight},
        // Long values are cut at the field and the rest still parses.
        {std::string(300, 'm') + "," + std::string(200, 's') + ";" + std::string(150, 'v') + ",w",
         cut,
         std::string(127, 'v'),
         {{std::string(127, 's'), "w"}}},
        // 1023 bytes with no terminator: nothing past them is read.
        {"M," + std::string(1021, 'x'), "M", "", {{std::string(127, 'x'), ""}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply.substr(0, 40));
        IdentifyReply r = parseReply(c.reply);
        EXPECT_EQ(r.model.view(), c.model);
        EXPECT_EQ(r.version.view(), c.version);
        ASSERT_EQ(r.subsystemCount, c.subsystems.size());
        for (std::size_t i = 0; i < c.subsystems.size(); ++i) {
            EXPECT_EQ(r.subsystemModels[i].view(), c.subsystems[i].first) << "slot " << i;
            EXPECT_EQ(r.subsystemVersions[i].view(), c.subsystems[i].second) << "slot " << i;
        }
    }
}

}  // namespace
}  // namespace upkeep
