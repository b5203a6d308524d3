#include "cli/OidArgument.h"

#include <gtest/gtest.h>

namespace upkeep::cli {
namespace {

TEST(OidArgument, OnlyWhatTheRequestCarries) {
    const struct {
        std::string text;
        const char* problem;  // "": accepted
    } cases[] = {
        {"1.3.6.1.4.1.11.2.3.9.4.2.1.4.1.12.1.1.1.0", ""},
        {"0.39.255.000", ""},
        {"2.999", "above 255"},
        {"1.3.6.1.4.1.300.1", "above 255"},  // would go out as ...44.1
        {"1.3.99999999999999999999", "above 255"},
        {"abc", "not an OID"},  // would go out as 0
        {"1.3.x", "not an OID"},
        {"1..3", "not an OID"},
        {".1.3", "not an OID"},
        {"1.3.", "not an OID"},
        {"-1.3", "not an OID"},
        {"", "may not be empty"},
        {"1", "at least two"},
        {"3.1", "must start"},
        {"1.40", "must start"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        std::optional<std::string> problem = oidProblem(c.text);
        if (*c.problem == '\0') {
            EXPECT_FALSE(problem) << *problem;
        } else {
            ASSERT_TRUE(problem);
            EXPECT_NE(problem->find(c.problem), std::string::npos) << *problem;
        }
    }
    std::string longest = "1";
    for (int i = 1; i < 128; ++i)
        longest += ".1";
    EXPECT_FALSE(oidProblem(longest));
    EXPECT_NE(oidProblem(longest + ".1")->find("more than 128"), std::string::npos);
}

}  // namespace
}  // namespace upkeep::cli
