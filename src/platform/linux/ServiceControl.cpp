// Linux has no spooler that holds the parallel port open: nothing to do.
#include "platform/ServiceControl.h"

namespace upkeep::platform {
namespace {

class NoSpooler final : public ServiceControl {
  public:
    bool defineParallelDevice() override { return true; }
    bool stopSpooler() override { return true; }
    void startSpooler() override {}
};

}  // namespace

ServiceControl& systemServiceControl() {
    static NoSpooler control;
    return control;
}

}  // namespace upkeep::platform
