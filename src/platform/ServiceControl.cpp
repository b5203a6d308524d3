#include "platform/ServiceControl.h"

#include <atomic>

namespace upkeep::platform {
namespace {

class NoSpooler final : public ServiceControl {
  public:
    bool defineParallelDevice() override { return true; }
    bool stopSpooler() override { return true; }
    void startSpooler() override {}
};

std::atomic<ServiceControl*>& override() {
    static std::atomic<ServiceControl*> word{nullptr};
    return word;
}

}  // namespace

ServiceControl& serviceControl() {
    static NoSpooler linuxControl;
    ServiceControl* fake = override().load();
    return fake ? *fake : linuxControl;
}

void setServiceControl(ServiceControl* control) {
    override().store(control);
}

}  // namespace upkeep::platform
