#include "discovery/UsbPortTable.h"

#include <algorithm>
#include <cstdio>

#include "platform/AsciiText.h"

namespace upkeep::discovery {

namespace {

// The model without the manufacturer's name and the spaces after it.
std::string_view bareModel(std::string_view model, std::string_view make) {
    if (!make.empty() && model.size() > make.size() &&
        platform::equalsIgnoringCase(model.substr(0, make.size()), make) &&
        model[make.size()] == ' ') {
        model.remove_prefix(make.size());
        while (!model.empty() && model.front() == ' ')
            model.remove_prefix(1);
    }
    return model;
}

// The USB product names the URI's model: exactly, or ending in " " model,
// as a URI's model may leave out the maker.
bool productMatches(std::string_view candidate, std::string_view model) {
    if (model.empty() || candidate.empty())
        return false;
    if (candidate == model)
        return true;
    return candidate.size() > model.size() &&
           candidate.substr(candidate.size() - model.size()) == model &&
           candidate[candidate.size() - model.size() - 1] == ' ';
}

}  // namespace

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
    // A path cut to fit would open another device.
    if (count_ >= kCapacity || device.devicePath.size() > Text::kCapacity)
        return;
    Entry& entry = entries_[count_++];
    entry.devicePath = device.devicePath;
    entry.portName = usbPortName(device);
    entry.product = device.product.value_or("");
    entry.serialNumber = device.serialNumber.value_or("");
    entry.deviceId = parseDeviceId(device.deviceId.value_or(""));
    entry.interfaceNumber = device.interfaceNumber;
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
    UriQuery query;
    query.serialNumber = serialNumber;
    query.model = product;
    std::vector<std::string> paths = match(query);
    if (paths.empty())
        return std::nullopt;
    return paths.front();
}

std::vector<std::string> UsbPortTable::match(const UriQuery& query) const {
    std::vector<std::string> paths;
    auto add = [&](const Entry& entry) {
        std::string path = entry.devicePath.str();
        if (std::find(paths.begin(), paths.end(), path) == paths.end())
            paths.push_back(std::move(path));
    };
    auto sameInterface = [&](const Entry& entry) {
        return !query.interfaceNumber || !entry.interfaceNumber ||
               *query.interfaceNumber == *entry.interfaceNumber;
    };
    if (!query.serialNumber.empty()) {
        const Entry* first = nullptr;
        for (std::size_t i = 0; i < count_; ++i) {
            const Entry& entry = entries_[i];
            if (!sameInterface(entry) || (entry.serialNumber != query.serialNumber &&
                                          entry.deviceId.serialNumber != query.serialNumber))
                continue;
            if (productMatches(entry.product, query.model)) {
                first = &entry;
                break;
            }
            if (first == nullptr)
                first = &entry;
        }
        if (first != nullptr)
            paths.push_back(first->devicePath.str());
        return paths;
    }
    if (query.make.empty() || query.model.empty())
        return paths;
    for (std::size_t i = 0; i < count_; ++i) {
        const Entry& entry = entries_[i];
        const DeviceId& id = entry.deviceId;
        if (!sameInterface(entry) || !platform::equalsIgnoringCase(id.manufacturer, query.make))
            continue;
        if (platform::equalsIgnoringCase(bareModel(id.model, id.manufacturer),
                                         bareModel(query.model, query.make)))
            add(entry);
    }
    return paths;
}

}  // namespace upkeep::discovery
