#pragma once
// Fills a printer list with the printers installed in the print spooler,
// one printer per port.

#include "platform/Registry.h"
#include "platform/Spooler.h"
#include "platform/UsbDevices.h"

namespace upkeep {
class PrinterList;
}

namespace upkeep::discovery {

// The name classified as a port at the end of every search, whose printer
// is added even when its port is listed already.
inline constexpr const char* kExtraPortName = "Meridot 4000";

// For each spooler printer in the spooler's order, the first spooler port of
// exactly its port name that classifies gives the printer its descriptor
// (channel 7); a printer whose port is in the list already is not added
// again. False, with the list untouched, when the spooler cannot be asked.
bool findPrinters(PrinterList& list, platform::Spooler& spooler, const platform::Registry& registry,
                  const platform::UsbDevices& usb);

// The same over this computer's spooler, settings registry and USB devices.
bool findSystemPrinters(PrinterList& list);

}  // namespace upkeep::discovery
