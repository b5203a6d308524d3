#pragma once
// The print spooler service around direct parallel-port access. Linux has
// no spooler that holds the port open, so its implementation does nothing;
// tests stand in a fake that records the calls.

#include <cstdint>
#include <functional>
#include <memory>

#include "platform/Clock.h"

namespace upkeep::platform {

class ServiceControl {
  public:
    virtual ~ServiceControl() = default;
    // Defines the raw device name for the first parallel port.
    virtual bool defineParallelDevice() = 0;
    // Stops the spooler and waits (bounded) for it to stop; false when the
    // service could not be reached at all.
    virtual bool stopSpooler() = 0;
    virtual void startSpooler() = 0;
};

// One interrogation of a service that was told to stop.
struct ServicePoll {
    enum class Answer { Status, NotActive, Failed } answer = Answer::Failed;
    std::uint32_t state = 0;
    std::uint32_t checkPoint = 0;
    Millis waitHint{0};  // nominal
};

enum class StopWait { Stopped, Failed, TimedOut, NoProgress };

// Waits for a service to stop, at most `limit` (nominal): interrogates it,
// sleeps its own wait hint and asks again. A service that is not active has
// stopped; one whose state stays the same while its check-point does not
// grow makes no progress, and the wait gives up on it.
StopWait waitForStop(const std::function<ServicePoll()>& interrogate, Millis limit);

ServiceControl& serviceControl();
// The system's own, whatever stands in.
ServiceControl& systemServiceControl();
// Stands a fake in for the platform's (tests); null restores it.
void setServiceControl(ServiceControl* control);

}  // namespace upkeep::platform
