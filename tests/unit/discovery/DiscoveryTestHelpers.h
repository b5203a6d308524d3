#pragma once
// Fakes and fixtures the discovery tests share.

#include <string>
#include <utility>
#include <vector>

#include "platform/Registry.h"
#include "platform/Spooler.h"
#include "platform/UsbDevices.h"
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

// An interface with product, serial number and "Enabled".
inline platform::UsbInterface namedUsb(std::string path, std::string product, std::string serial) {
    return {std::move(path), std::move(serial), std::move(product), true, {}};
}

}  // namespace upkeep::test
