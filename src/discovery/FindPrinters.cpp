#include "discovery/FindPrinters.h"

#include <memory>
#include <vector>

#include "discovery/ClassifyPort.h"
#include "discovery/UsbPortTable.h"
#include "platform/CupsSpooler.h"
#include "printer/PrinterList.h"

namespace upkeep::discovery {

bool findPrinters(PrinterList& list, platform::Spooler& spooler, const platform::Registry& registry,
                  const platform::UsbDevices& usb) {
    PortDescriptor working("", PortType::None, channel::kUnset);

    std::vector<platform::SpoolerPrinter> printers;
    if (!spooler.printers(printers))
        return false;
    std::vector<platform::SpoolerPort> ports;
    if (!spooler.ports(ports))
        return false;

    UsbPortTable usbTable;
    usbTable.build(usb);
    PortSources sources{registry, usbTable};

    for (const platform::SpoolerPrinter& printer : printers) {
        for (const platform::SpoolerPort& port : ports) {
            if (port.name != printer.portName)
                continue;
            if (!classifyPort(port.name, working, sources))
                continue;
            if (!list.containsPort(working))
                list.add(std::make_shared<Printer>(printer.name, working));
            break;
        }
    }

    if (classifyPort(kExtraPortName, working, sources))
        list.add(std::make_shared<Printer>(kExtraPortName, working));
    return true;
}

bool findSystemPrinters(PrinterList& list) {
    platform::CupsSpooler spooler;
    platform::SysfsUsbDevices usb;
    return findPrinters(list, spooler, platform::Registry::system(), usb);
}

}  // namespace upkeep::discovery
