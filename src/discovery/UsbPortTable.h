#pragma once
// Pairs each present USB printer's spooler port name with the device path a
// USB connection opens it by. Rebuilt at the start of every discovery.

#include <array>
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "discovery/DeviceId.h"
#include "platform/FixedText.h"
#include "platform/UsbDevices.h"

namespace upkeep::discovery {

class UsbPortTable {
  public:
    static constexpr std::size_t kCapacity = 16;
    using Text = FixedText<260>;

    struct Entry {
        // "USB/product/serial", "USB%03d" from the port number, or empty.
        Text portName;
        Text devicePath;
        // The values the port name came from, for matching device URIs.
        std::string product;
        std::string serialNumber;
        DeviceId deviceId;
        std::optional<std::uint32_t> interfaceNumber;
    };

    // What a usb://MAKE/MODEL[?serial=S][&interface=N] device URI asks for.
    struct UriQuery {
        std::string make;
        std::string model;
        std::string serialNumber;
        std::optional<std::uint32_t> interfaceNumber;
    };

    // Empties the table and fills it from the vendor class, then the
    // standard printer class; devices beyond the 16th are left out.
    void build(const platform::UsbDevices& devices);

    std::size_t count() const { return count_; }
    const Entry& entry(std::size_t i) const { return entries_[i]; }

    // The device path of the first entry whose port name equals portName
    // exactly (letter case counts). An empty name is never found.
    std::optional<std::string> lookup(std::string_view portName) const;

    // The device path of the first entry with this serial number, preferring
    // one whose product also matches (exactly, or ending in " " product, as
    // a URI's model may leave out the maker). An empty serial number matches
    // nothing: it cannot tell two printers apart.
    std::optional<std::string> lookupSerial(std::string_view serialNumber,
                                            std::string_view product) const;

    // The device paths of the interfaces a usb:// URI names. With a serial
    // number, the first interface with it (the USB device's or the device
    // ID's): one path at most. Without, every interface whose device ID has
    // the URI's manufacturer and model (letter case ignored; the model may
    // carry the manufacturer's name in front): identical printers without
    // serial numbers cannot be told apart, so each of them is given. An
    // interface number in the URI leaves out interfaces with another one.
    std::vector<std::string> match(const UriQuery& query) const;

  private:
    void add(const platform::UsbInterface& device);

    std::array<Entry, kCapacity> entries_{};
    std::size_t count_ = 0;
};

// The port name the interface's values give (empty when they give none).
std::string usbPortName(const platform::UsbInterface& device);

}  // namespace upkeep::discovery
