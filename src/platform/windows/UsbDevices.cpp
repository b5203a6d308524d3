#include "platform/UsbDevices.h"

namespace upkeep::platform {
namespace {

// To become the USB printer device interfaces of both classes, enumerated
// through SETUPAPI.DLL loaded at run time. Until then no USB printer is
// present: discovery lists the spooler's other ports.
class NoUsbDevices final : public UsbDevices {
  public:
    std::vector<UsbInterface> present(UsbInterfaceClass) const override { return {}; }
};

}  // namespace

std::unique_ptr<UsbDevices> systemUsbDevices() {
    return std::make_unique<NoUsbDevices>();
}

}  // namespace upkeep::platform
