#pragma once
// The print spooler service around direct parallel-port access. Linux has
// no spooler that holds the port open, so its implementation does nothing;
// tests stand in a fake that records the calls.

#include <memory>

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

ServiceControl& serviceControl();
// The system's own, whatever stands in.
ServiceControl& systemServiceControl();
// Stands a fake in for the platform's (tests); null restores it.
void setServiceControl(ServiceControl* control);

}  // namespace upkeep::platform
