#include "platform/UsbDevices.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace upkeep::platform {
namespace {

namespace fs = std::filesystem;

// A sysfs attribute's text without its line end; none when the file is
// missing or longer than the limit.
std::optional<std::string> readAttribute(const fs::path& path, std::size_t limit) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::string text;
    char c;
    while (in.get(c)) {
        if (text.size() > limit + 1)
            return std::nullopt;
        text += c;
    }
    if (!text.empty() && text.back() == '\n')
        text.pop_back();
    if (text.size() > limit)
        return std::nullopt;
    return text;
}

// "lp12" -> 12; none for other names.
std::optional<std::uint32_t> lpNumber(const std::string& name) {
    if (name.size() < 3 || name.compare(0, 2, "lp") != 0)
        return std::nullopt;
    std::uint32_t number = 0;
    const char* first = name.data() + 2;
    const char* last = name.data() + name.size();
    auto [end, error] = std::from_chars(first, last, number);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return number;
}

// sysfs writes bInterfaceNumber in hexadecimal ("01").
std::optional<std::uint32_t> hexNumber(const std::optional<std::string>& text) {
    if (!text || text->empty())
        return std::nullopt;
    std::uint32_t number = 0;
    const char* last = text->data() + text->size();
    auto [end, error] = std::from_chars(text->data(), last, number, 16);
    if (error != std::errc() || end != last)
        return std::nullopt;
    return number;
}

// The device node from the interface's uevent (DEVNAME is relative to /dev).
std::string deviceNode(const fs::path& classDir, const std::string& name,
                       const std::string& devRoot) {
    std::optional<std::string> uevent = readAttribute(classDir / "uevent", 4096);
    if (uevent) {
        std::string_view rest = *uevent;
        while (!rest.empty()) {
            std::size_t end = rest.find('\n');
            std::string_view line = rest.substr(0, end);
            if (line.substr(0, 8) == "DEVNAME=" && line.size() > 8)
                return devRoot + "/" + std::string(line.substr(8));
            if (end == std::string_view::npos)
                break;
            rest.remove_prefix(end + 1);
        }
    }
    return devRoot + "/usb/" + name;
}

}  // namespace

std::vector<UsbInterface> SysfsUsbDevices::present(UsbInterfaceClass interfaceClass) const {
    std::vector<UsbInterface> found;
    if (interfaceClass != UsbInterfaceClass::Printer)
        return found;

    std::error_code error;
    fs::path classRoot = fs::path(sysfsRoot_) / "class" / "usbmisc";
    std::vector<std::pair<std::uint32_t, std::string>> names;
    for (fs::directory_iterator it(classRoot, error), end; !error && it != end;
         it.increment(error)) {
        std::string name = it->path().filename().string();
        if (std::optional<std::uint32_t> number = lpNumber(name))
            names.emplace_back(*number, name);
    }
    // Directory order is arbitrary; lp0, lp1, ..., lp10 is the order the
    // devices were bound in.
    std::sort(names.begin(), names.end());

    for (const auto& [number, name] : names) {
        fs::path classDir = classRoot / name;
        UsbInterface usb;
        usb.devicePath = deviceNode(classDir, name, devRoot_);
        usb.enabled = true;  // a bound interface is in use
        if (number < UINT32_MAX)
            usb.portNumber = number + 1;
        // device -> the USB interface; its parent is the USB device.
        fs::path interfaceDir = fs::canonical(classDir / "device", error);
        if (!error) {
            fs::path deviceDir = interfaceDir.parent_path();
            usb.product = readAttribute(deviceDir / "product", kMaxText);
            usb.serialNumber = readAttribute(deviceDir / "serial", kMaxText);
            usb.deviceId = readAttribute(interfaceDir / "ieee1284_id", kMaxDeviceId);
            usb.interfaceNumber = hexNumber(readAttribute(interfaceDir / "bInterfaceNumber", 8));
        }
        error.clear();
        found.push_back(std::move(usb));
    }
    return found;
}

}  // namespace upkeep::platform
