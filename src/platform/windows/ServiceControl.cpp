#include "platform/ServiceControl.h"

namespace upkeep::platform {
namespace {

// To become the service control manager's stop and start of "spooler" and
// DefineDosDevice for the first parallel port. Until then direct access to
// the port is refused before it begins: the spooler is never left stopped.
class ServicesNotYet final : public ServiceControl {
  public:
    bool defineParallelDevice() override { return false; }
    bool stopSpooler() override { return false; }
    void startSpooler() override {}
};

}  // namespace

ServiceControl& systemServiceControl() {
    static ServicesNotYet control;
    return control;
}

}  // namespace upkeep::platform
