#include <gtest/gtest.h>

#include "printer/SendingStatus.h"

namespace upkeep {
namespace {

TEST(SendingStatus, Lines) {
    EXPECT_EQ(sendingStatusLine("Sending", 1, 2, "m4000_210.fmw"), "Sending 1/2 (m4000_210.fmw)");
    EXPECT_EQ(sendingStatusLine("Sending", 2, 2, "f2_11.fmw"), "Sending 2/2 (f2_11.fmw)");
    EXPECT_EQ(sendingStatusLine("Sending", 1, 1, "m4000_210.fmw"), "Sending  (m4000_210.fmw)... ");
    // Downgrades, chosen files and profiles never set the file text.
    EXPECT_EQ(sendingStatusLine("Senden", 1, 1, ""), "Senden  ()... ");
}

}  // namespace
}  // namespace upkeep
