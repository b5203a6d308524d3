#include "platform/ServiceControl.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

namespace upkeep::platform {
namespace {

constexpr std::uint32_t kStopPending = 3;
constexpr std::uint32_t kRunning = 4;

ServicePoll status(std::uint32_t state, std::uint32_t checkPoint, int hintMs = 100) {
    return {ServicePoll::Answer::Status, state, checkPoint, Millis{hintMs}};
}
const ServicePoll kGone{ServicePoll::Answer::NotActive};
const ServicePoll kRefused{ServicePoll::Answer::Failed};

TEST(WaitForStop, EndsOnTheServicesOwnAnswers) {
    struct Case {
        const char* what;
        std::vector<ServicePoll> polls;  // the last one repeats
        StopWait expected;
        std::size_t asked;
    } cases[] = {
        {"stopped already", {kGone}, StopWait::Stopped, 1},
        {"stops step by step",
         {status(kStopPending, 1), status(kStopPending, 2), status(kStopPending, 3), kGone},
         StopWait::Stopped,
         4},
        {"a new state counts as progress",
         {status(kRunning, 5), status(kStopPending, 5), kGone},
         StopWait::Stopped,
         3},
        {"check-point stuck",
         {status(kStopPending, 1), status(kStopPending, 1)},
         StopWait::NoProgress,
         2},
        {"check-point going back",
         {status(kStopPending, 4), status(kStopPending, 2)},
         StopWait::NoProgress,
         2},
        {"interrogation refused", {kRefused}, StopWait::Failed, 1},
    };
    ScopedTimeScale fast(0.001);
    for (const Case& c : cases) {
        std::size_t asked = 0;
        StopWait result = waitForStop(
            [&] { return c.polls[std::min(asked++, c.polls.size() - 1)]; }, Millis{15'000});
        EXPECT_EQ(result, c.expected) << c.what;
        EXPECT_EQ(asked, c.asked) << c.what;
    }
}

TEST(WaitForStop, GivesUpAtItsLimit) {
    ScopedTimeScale fast(0.01);
    std::uint32_t checkPoint = 0;
    std::size_t asked = 0;
    // Progress that never ends, a second between looks: 15 s is 16 looks
    // at most.
    StopWait result = waitForStop(
        [&] {
            ++asked;
            return status(kStopPending, ++checkPoint, 1000);
        },
        Millis{15'000});
    EXPECT_EQ(result, StopWait::TimedOut);
    EXPECT_GE(asked, 2u);
    EXPECT_LE(asked, 16u);
}

}  // namespace
}  // namespace upkeep::platform
