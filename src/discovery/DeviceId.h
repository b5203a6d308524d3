#pragma once
// The fields of an IEEE 1284 device ID ("MFG:Meridot;MDL:4000;CMD:PJL;")
// that name a printer.

#include <string>
#include <string_view>

namespace upkeep::discovery {

struct DeviceId {
    std::string manufacturer;  // MANUFACTURER or MFG
    std::string model;         // MODEL or MDL
    std::string serialNumber;  // SERIALNUMBER, SERN or SN
};

// Keys ignore letter case and values lose their outer spaces; a field that
// is missing is empty.
DeviceId parseDeviceId(std::string_view text);

}  // namespace upkeep::discovery
