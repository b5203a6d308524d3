#pragma once
// Fakes and fixtures the discovery tests share.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"
#include "platform/ServiceResolver.h"
#include "platform/Spooler.h"
#include "platform/UsbDevices.h"
#include "printer/PrinterList.h"
#include "support/ChildProcess.h"
#include "support/Paths.h"

namespace upkeep::test {

inline std::string discoveryFixture(const std::string& name) {
    return sourceDir() + "/tests/fixtures/discovery/" + name;
}

inline platform::Registry monitorsRegistry() {
    return platform::Registry::fromFile(discoveryFixture("monitors.reg"));
}

class FakeSpooler final : public platform::Spooler {
  public:
    std::vector<platform::SpoolerPrinter> printerRecords;
    std::vector<platform::SpoolerPort> portRecords;
    bool printersFail = false;
    bool portsFail = false;

    // A printer and a port of the same name, the common case.
    void add(std::string printer, std::string port) {
        printerRecords.push_back({std::move(printer), port});
        portRecords.push_back({std::move(port)});
    }

    bool printers(std::vector<platform::SpoolerPrinter>& out) override {
        out = printerRecords;
        return !printersFail;
    }
    bool ports(std::vector<platform::SpoolerPort>& out) override {
        out = portRecords;
        return !portsFail;
    }
};

class FakeUsbDevices final : public platform::UsbDevices {
  public:
    std::vector<platform::UsbInterface> vendor;
    std::vector<platform::UsbInterface> printer;

    std::vector<platform::UsbInterface> present(platform::UsbInterfaceClass c) const override {
        return c == platform::UsbInterfaceClass::Vendor ? vendor : printer;
    }
};

// Answers DNS-SD instances by name; any other name fails with "not found".
class FakeResolver final : public platform::ServiceResolver {
  public:
    std::map<std::string, platform::ResolvedService> services;
    std::string problem = "DNS-SD (Avahi): Timeout reached";

    platform::Resolution resolve(const platform::ServiceInstance& instance) const override {
        auto it = services.find(instance.name + "|" + instance.type + "|" + instance.domain);
        if (it == services.end())
            return {std::nullopt, problem};
        return {it->second, {}};
    }
};

// An interface bound to usblp with an IEEE 1284 device ID and nothing else.
inline platform::UsbInterface idUsb(std::string path, std::string deviceId,
                                    std::optional<std::uint32_t> interfaceNumber = {}) {
    platform::UsbInterface usb{std::move(path), {}, {}, true, {}};
    usb.deviceId = std::move(deviceId);
    usb.interfaceNumber = interfaceNumber;
    return usb;
}

// An interface with product, serial number and "Enabled".
inline platform::UsbInterface namedUsb(std::string path, std::string product, std::string serial) {
    return {std::move(path), std::move(serial), std::move(product), true, {}};
}

// A sysfs tree with one usblp interface whose device node is the given path
// below /dev (the simulator's pty stands in for /dev/usb/lp0).
class UsbTree {
  public:
    UsbTree(const std::string& devicePath, const std::string& product, const std::string& serial,
            const std::string& deviceId)
        : root_(test::makeTempDir("usb")) {
        namespace fs = std::filesystem;
        fs::path device = root_ / "devices/usb1/1-1";
        fs::create_directories(device / "1-1:1.0/usbmisc/lp0");
        fs::create_directories(root_ / "class/usbmisc");
        fs::create_directory_symlink(device / "1-1:1.0/usbmisc/lp0", root_ / "class/usbmisc/lp0");
        fs::create_directory_symlink(device / "1-1:1.0", device / "1-1:1.0/usbmisc/lp0/device");
        std::ofstream(device / "product") << product << "\n";
        std::ofstream(device / "serial") << serial << "\n";
        std::ofstream(device / "1-1:1.0/ieee1284_id") << deviceId << "\n";
        std::ofstream(device / "1-1:1.0/usbmisc/lp0/uevent")
            << "DEVNAME=" << devicePath.substr(std::string("/dev/").size()) << "\n";
    }
    ~UsbTree() { test::removeTree(root_.string()); }
    std::string root() const { return root_.string(); }

  private:
    std::filesystem::path root_;
};

// What discovery put in a list, one row per printer.
struct Listed {
    std::string name;
    PortType type;
    std::string port;
    bool operator==(const Listed&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const Listed& l) {
    return out << "{" << l.name << ", " << static_cast<int>(l.type) << ", " << l.port << "}";
}

// Every printer found is on an unset channel and not yet analysed.
inline std::vector<Listed> listed(const PrinterList& list) {
    std::vector<Listed> out;
    for (std::size_t i = 0; i < list.count(); ++i) {
        auto p = list.item(i);
        out.push_back(
            {p->name(), p->portDescriptor().portType(), p->portDescriptor().name().str()});
        EXPECT_EQ(p->portDescriptor().channel(), channel::kUnset);
        EXPECT_EQ(p->state(), PrinterState::NotAnalysed);
    }
    return out;
}

}  // namespace upkeep::test
