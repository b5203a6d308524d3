#include "discovery/UsbPortTable.h"

#include <cstdio>

namespace upkeep::discovery {

std::string usbPortName(const platform::UsbInterface& device) {
    if (device.serialNumber && device.product && device.enabled)
        return "USB/" + *device.product + "/" + *device.serialNumber;
    if (device.portNumber) {
        char text[16];
        std::snprintf(text, sizeof text, "USB%03u", static_cast<unsigned>(*device.portNumber));
        return text;
    }
    return {};
}

void UsbPortTable::add(const platform::UsbInterface& device) {
    if (count_ >= kCapacity)
        return;
    Entry& entry = entries_[count_++];
    entry.devicePath = device.devicePath;
    entry.portName = usbPortName(device);
    entry.product = device.product.value_or("");
    entry.serialNumber = device.serialNumber.value_or("");
}

void UsbPortTable::build(const platform::UsbDevices& devices) {
    entries_ = {};
    count_ = 0;
    for (platform::UsbInterfaceClass interfaceClass :
         {platform::UsbInterfaceClass::Vendor, platform::UsbInterfaceClass::Printer}) {
        for (const platform::UsbInterface& device : devices.present(interfaceClass))
            add(device);
    }
}

std::optional<std::string> UsbPortTable::lookup(std::string_view portName) const {
    if (portName.empty())
        return std::nullopt;
    for (std::size_t i = 0; i < count_; ++i) {
        if (entries_[i].portName == portName)
            return entries_[i].devicePath.str();
    }
    return std::nullopt;
}

std::optional<std::string> UsbPortTable::lookupSerial(std::string_view serialNumber,
                                                      std::string_view product) const {
    if (serialNumber.empty())
        return std::nullopt;
    auto productMatches = [&](const std::string& candidate) {
        if (product.empty() || candidate.empty())
            return false;
        if (candidate == product)
            return true;
        return candidate.size() > product.size() &&
               candidate.compare(candidate.size() - product.size(), product.size(), product) == 0 &&
               candidate[candidate.size() - product.size() - 1] == ' ';
    };
    const Entry* first = nullptr;
    for (std::size_t i = 0; i < count_; ++i) {
        const Entry& entry = entries_[i];
        if (entry.serialNumber != serialNumber)
            continue;
        if (productMatches(entry.product))
            return entry.devicePath.str();
        if (first == nullptr)
            first = &entry;
    }
    if (first != nullptr)
        return first->devicePath.str();
    return std::nullopt;
}

}  // namespace upkeep::discovery
