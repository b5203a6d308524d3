#include "discovery/DeviceId.h"

#include <initializer_list>

namespace upkeep::discovery {
namespace {

std::string_view trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool upperEquals(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        char x = (a[i] >= 'a' && a[i] <= 'z') ? static_cast<char>(a[i] - 'a' + 'A') : a[i];
        if (x != b[i])
            return false;
    }
    return true;
}

bool isOneOf(std::string_view key, std::initializer_list<std::string_view> names) {
    for (std::string_view name : names) {
        if (upperEquals(key, name))
            return true;
    }
    return false;
}

}  // namespace

DeviceId parseDeviceId(std::string_view text) {
    DeviceId id;
    while (!text.empty()) {
        std::size_t end = text.find(';');
        std::string_view field = text.substr(0, end);
        std::size_t colon = field.find(':');
        if (colon != std::string_view::npos) {
            std::string_view key = trim(field.substr(0, colon));
            std::string value(trim(field.substr(colon + 1)));
            if (isOneOf(key, {"MANUFACTURER", "MFG"}) && id.manufacturer.empty())
                id.manufacturer = value;
            else if (isOneOf(key, {"MODEL", "MDL"}) && id.model.empty())
                id.model = value;
            else if (isOneOf(key, {"SERIALNUMBER", "SERN", "SN"}) && id.serialNumber.empty())
                id.serialNumber = value;
        }
        if (end == std::string_view::npos)
            break;
        text.remove_prefix(end + 1);
    }
    return id;
}

}  // namespace upkeep::discovery
