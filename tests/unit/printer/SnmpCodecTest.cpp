#include <gtest/gtest.h>

#include "printer/Community.h"
#include "printer/SnmpQuery.h"

namespace upkeep::snmp {
namespace {

TEST(SnmpOid, TextToSubIdentifiers) {
    std::string longText = "1";
    for (int i = 0; i < 200; ++i)
        longText += ".2";
    SubIds first128(128, 2);
    first128[0] = 1;
    struct Case {
        std::string text;
        SubIds expected;
    } cases[] = {
        {"1.3.6.1.2.1.1.1.0", {1, 3, 6, 1, 2, 1, 1, 1, 0}},
        {"1.3.300", {1, 3, 44}},  // modulo 256
        {"1..2", {1, 0, 2}},
        {"7", {7}},
        {"1.2a.3", {1, 2, 3}},
        {"", {}},
        {longText, first128},  // at most 128 sub-identifiers
    };
    for (const Case& c : cases)
        EXPECT_EQ(oidFromText(c.text), c.expected) << c.text.substr(0, 20);
}

TEST(SnmpValue, DropsTwoOctetsStopsAtNulAndCuts) {
    EXPECT_EQ(valueText(std::string("\x01\xff"
                                    "Meridot 4000",
                                    14)),
              "Meridot 4000");
    EXPECT_EQ(valueText(std::string("\0\0ab\0cd", 7)), "ab");
    EXPECT_EQ(valueText("x"), "");
    EXPECT_EQ(valueText(""), "");
    EXPECT_EQ(valueText("ab"), "");
    EXPECT_EQ(valueText("ab" + std::string(300, 'v')).size(), SnmpQuery::kValueLimit);
}

TEST(SnmpBinding, MatchesOnThePrefixOfTheAskedOid) {
    SubIds asked{1, 3, 6, 1};
    EXPECT_TRUE(bindingMatches({1, 3, 6, 1}, asked));
    EXPECT_TRUE(bindingMatches({1, 3}, asked));
    EXPECT_FALSE(bindingMatches({1, 3, 6, 1, 0}, asked));
    EXPECT_FALSE(bindingMatches({1, 3, 7}, asked));
    EXPECT_FALSE(bindingMatches({1, 3, 262}, SubIds{1, 3, 6}));
}

TEST(SnmpCodec, GetRequestRoundTrips) {
    auto message =
        encodeGetRequest({1, 3, 6, 1, 2, 1, 1, 1, 0}, {1, 3, 6, 1, 2, 1, 1, 5, 0}, "quenby");
    ASSERT_TRUE(message);
    EXPECT_LE(message->size(), SnmpQuery::kMessageLimit);
    // SEQUENCE, then INTEGER version 0, then the community.
    EXPECT_EQ((*message)[0], 0x30);
    auto decoded = decodeMessage(message->data(), message->size());
    ASSERT_TRUE(decoded);
    EXPECT_EQ(decoded->pduType, 0xA0);
    EXPECT_EQ(decoded->requestId, 0);
    EXPECT_EQ(decoded->errorStatus, 0);
    ASSERT_EQ(decoded->bindings.size(), 2u);
    EXPECT_EQ(decoded->bindings[0].oid, (std::vector<unsigned long>{1, 3, 6, 1, 2, 1, 1, 1, 0}));
    EXPECT_EQ(decoded->bindings[1].oid, (std::vector<unsigned long>{1, 3, 6, 1, 2, 1, 1, 5, 0}));
    std::string bytes(message->begin(), message->end());
    EXPECT_NE(bytes.find("quenby"), std::string::npos);
}

// The request bytes as the Linux build sent them, once; the Windows build
// runs the same rows, so both systems put the same bytes on the wire.
TEST(SnmpCodec, GetRequestBytesAreFixed) {
    struct Case {
        const char* oidA;
        const char* oidB;
        const char* community;
        const char* hex;
    } cases[] = {
        // The system software request of the sample package.
        {"1.3.6.1.3.77.1.1.0", "1.3.6.1.3.77.1.2.0", "quenby",
         "3082003c02010004067175656e6279a082002d020100020100020100308200203082000c06082b0601034d"
         "01010005003082000c06082b0601034d0102000500"},
        // An empty community; sub-identifiers of two digits.
        {"1.3.6.1.2.1.25.3.2.1.3.1", "1.3.6.1.2.1.1.1.0", "",
         "308200390201000400a0820030020100020100020100308200233082000f060b2b06010201190302010301"
         "05003082000c06082b060102010101000500"},
    };
    for (const Case& c : cases) {
        auto message = encodeGetRequest(oidFromText(c.oidA), oidFromText(c.oidB), c.community);
        ASSERT_TRUE(message) << c.oidA;
        std::string hex;
        for (std::uint8_t byte : *message) {
            static constexpr char kDigits[] = "0123456789abcdef";
            hex += kDigits[byte >> 4];
            hex += kDigits[byte & 15];
        }
        EXPECT_EQ(hex, c.hex) << c.oidA;
    }
}

TEST(SnmpCodec, RefusesWhatCannotBeBuiltOrRead) {
    EXPECT_FALSE(encodeGetRequest({}, {1, 3}, "quenby"));
    EXPECT_FALSE(encodeGetRequest({1, 3}, {1, 3}, std::string(300, 'c')));
    const std::uint8_t junk[] = {0x30, 0x82, 0xff, 0xff, 0x02};
    EXPECT_FALSE(decodeMessage(junk, sizeof junk));
    EXPECT_FALSE(decodeMessage(junk, 0));
    // The longest community that can be sent fills the message to its limit exactly.
    std::size_t longest = 0;
    for (std::size_t n = 0; auto message = encodeGetRequest({1, 3}, {1, 3}, std::string(n, 'c'));
         ++n)
        longest = message->size();
    EXPECT_EQ(longest, SnmpQuery::kMessageLimit);
    // Only a response is an answer: a request sent back is not.
    auto request = encodeGetRequest({1, 3}, {1, 4}, "quenby");
    ASSERT_TRUE(request);
    std::string a, b;
    EXPECT_EQ(readReply(request->data(), request->size(), {1, 3}, {1, 4}, a, b),
              SnmpQuery::Failure::Malformed);
}

}  // namespace
}  // namespace upkeep::snmp
