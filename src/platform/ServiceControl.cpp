#include "platform/ServiceControl.h"

#include <algorithm>
#include <atomic>

namespace upkeep::platform {
namespace {

std::atomic<ServiceControl*>& override() {
    static std::atomic<ServiceControl*> word{nullptr};
    return word;
}

}  // namespace

ServiceControl& serviceControl() {
    ServiceControl* fake = override().load();
    return fake ? *fake : systemServiceControl();
}

StopWait waitForStop(const std::function<ServicePoll()>& interrogate, Millis limit) {
    const Deadline deadline(limit);
    bool first = true;
    std::uint32_t state = 0;
    std::uint32_t checkPoint = 0;
    for (;;) {
        const ServicePoll poll = interrogate();
        if (poll.answer == ServicePoll::Answer::NotActive)
            return StopWait::Stopped;
        if (poll.answer == ServicePoll::Answer::Failed)
            return StopWait::Failed;
        if (deadline.expired())
            return StopWait::TimedOut;
        if (!first && poll.state == state && poll.checkPoint <= checkPoint)
            return StopWait::NoProgress;
        first = false;
        state = poll.state;
        checkPoint = poll.checkPoint;
        // A service that gives no hint is still given a moment.
        Clock::sleepFor(std::max(poll.waitHint, Millis{100}));
    }
}

void setServiceControl(ServiceControl* control) {
    override().store(control);
}

}  // namespace upkeep::platform
