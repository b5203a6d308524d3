#include <gtest/gtest.h>

#include "cli/Json.h"

namespace upkeep::cli {
namespace {

TEST(JsonString, EscapesAndKeepsValidUtf8) {
    struct Case {
        std::string in, out;
    } cases[] = {
        {"plain", "\"plain\""},
        {"a\"b\\c\n\t\r", "\"a\\\"b\\\\c\\n\\t\\r\""},
        {std::string("\x01", 1), "\"\\u0001\""},
        {"Drucker \xc3\xa4", "\"Drucker \xc3\xa4\""},   // valid UTF-8 stays
        {"\xe3\x83\x97", "\"\xe3\x83\x97\""},           // three bytes
        {"caf\xe9", "\"caf\\u00e9\""},                  // a Latin-1 byte
        {"\xc3", "\"\\u00c3\""},                        // cut sequence
        {"\xed\xa0\x80", "\"\\u00ed\\u00a0\\u0080\""},  // a surrogate
        {"\xc0\xaf", "\"\\u00c0\\u00af\""},             // overlong
    };
    for (const Case& c : cases)
        EXPECT_EQ(jsonString(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace upkeep::cli
