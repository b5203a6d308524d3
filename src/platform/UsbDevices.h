#pragma once
// The USB printer interfaces present on this computer, with the values that
// name their spooler port. On Linux they are read from sysfs: every
// /sys/class/usbmisc/lpN is a printer interface bound to the usblp driver,
// reached through /dev/usb/lpN; its USB device's "product" and "serial"
// attributes stand in for the interface's "Product" and "SerialNumber"
// values, and the interface number N + 1 for its "Port Number" (the first
// printer is port 1, as in USB001). The interface's IEEE 1284 device ID
// (usblp's "ieee1284_id") and its "bInterfaceNumber" come along, to match
// the spooler's usb:// device URIs.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace upkeep::platform {

// The two interface classes printers are enumerated under, in the order
// they are asked.
enum class UsbInterfaceClass {
    Vendor,   // {5D1A33AA-D554-11D3-98F3-0060B0F13B68}
    Printer,  // {28D78FAD-5A12-11D1-AE5B-0000F803A8C2}, the standard USB printer class
};

struct UsbInterface {
    std::string devicePath;
    // The interface's values; absent ones are not there or unreadable.
    std::optional<std::string> serialNumber;
    std::optional<std::string> product;
    bool enabled = false;  // only its presence counts
    std::optional<std::uint32_t> portNumber;
    // "MFG:...;MDL:...;" as the printer reports it.
    std::optional<std::string> deviceId = std::nullopt;
    std::optional<std::uint32_t> interfaceNumber = std::nullopt;
};

class UsbDevices {
  public:
    virtual ~UsbDevices() = default;
    // The present interfaces of one class, in enumeration order.
    virtual std::vector<UsbInterface> present(UsbInterfaceClass interfaceClass) const = 0;
};

// The system's table: sysfs on Linux.
std::unique_ptr<UsbDevices> systemUsbDevices();

class SysfsUsbDevices final : public UsbDevices {
  public:
    // Longest text value read; a longer one counts as unreadable.
    static constexpr std::size_t kMaxText = 255;
    static constexpr std::size_t kMaxDeviceId = 1023;

    explicit SysfsUsbDevices(std::string sysfsRoot = "/sys", std::string devRoot = "/dev")
        : sysfsRoot_(std::move(sysfsRoot)), devRoot_(std::move(devRoot)) {}

    // usblp interfaces belong to the standard printer class; the vendor class
    // has no counterpart here and is always empty.
    std::vector<UsbInterface> present(UsbInterfaceClass interfaceClass) const override;

  private:
    std::string sysfsRoot_;
    std::string devRoot_;
};

}  // namespace upkeep::platform
