#include "platform/UsbDevices.h"

namespace upkeep::platform {

std::unique_ptr<UsbDevices> systemUsbDevices() {
    return std::make_unique<SysfsUsbDevices>();
}

}  // namespace upkeep::platform
