#pragma once
// Fills a printer list with the printers installed in the print spooler,
// one printer per port.

#include <optional>
#include <string>
#include <vector>

#include "connection/PortDescriptor.h"
#include "platform/Registry.h"
#include "platform/ServiceResolver.h"
#include "platform/Spooler.h"
#include "platform/UsbDevices.h"

namespace upkeep {
class PrinterList;
}

namespace upkeep::discovery {

// The name classified as a port at the end of every search, whose printer
// is added even when its port is listed already.
inline constexpr const char* kExtraPortName = "Meridot 4000";

// What became of one spooler printer: one row per port it was placed on
// (several for a usb:// URI that fits several identical printers), or one
// row saying why it was not.
struct QueueReport {
    std::string printer;
    std::string portName;  // the spooler's port name: the device URI on Linux
    PortType type = PortType::None;
    std::string name;     // the descriptor's name
    std::string rule;     // how the port was classified; empty when it was not
    std::string problem;  // why it is not classified, not reachable or not listed
    bool listed = false;  // added to the list
};

// For each spooler printer in the spooler's order, the first spooler port of
// exactly its port name that classifies gives the printer its descriptor
// (channel 7); a printer whose port is in the list already is not added
// again. A network printer that cannot be reached (a DNS-SD name that does
// not resolve) is added with an empty name, so that it shows as not
// reachable. False, with the list untouched, when the spooler cannot be
// asked.
bool findPrinters(PrinterList& list, platform::Spooler& spooler, const platform::Registry& registry,
                  const platform::UsbDevices& usb, const platform::ServiceResolver* dnssd = nullptr,
                  std::vector<QueueReport>* report = nullptr);

// The same over this computer's spooler, settings registry, USB devices and
// DNS-SD resolver.
bool findSystemPrinters(PrinterList& list, std::vector<QueueReport>* report = nullptr);

// The port of this computer's spooler printer named `queue`, classified as
// the search classifies it; nothing when there is none (or it has no
// usable port). Only that queue's names are looked up.
std::optional<PortDescriptor> findSystemQueue(const std::string& queue);

}  // namespace upkeep::discovery
