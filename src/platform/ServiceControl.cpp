#include "platform/ServiceControl.h"

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

void setServiceControl(ServiceControl* control) {
    override().store(control);
}

}  // namespace upkeep::platform
