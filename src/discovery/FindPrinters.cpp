#include "discovery/FindPrinters.h"

#include <memory>
#include <optional>

#include "discovery/ClassifyPort.h"
#include "discovery/PrefetchedResolver.h"
#include "discovery/UsbPortTable.h"
#include "platform/ServiceResolver.h"
#include "platform/Spooler.h"
#include "platform/UsbDevices.h"
#include "printer/PrinterList.h"

namespace upkeep::discovery {
namespace {

// Adds a printer per name of the classification, each unless its port is
// listed already (or `always`).
void place(PrinterList& list, const std::string& printer, const std::string& portName,
           const Classification& found, bool always, std::vector<QueueReport>& rows) {
    for (const std::string& name : found.names) {
        PortDescriptor port(name, found.type, channel::kUnset);
        QueueReport row{printer, portName, found.type, name, found.rule, found.problem, false};
        if (!always && list.containsPort(port))
            row.problem = "its port is listed already";
        else if (!list.add(std::make_shared<Printer>(printer, port)))
            row.problem = "the list is full";
        else
            row.listed = true;
        rows.push_back(std::move(row));
    }
}

}  // namespace

bool findPrinters(PrinterList& list, platform::Spooler& spooler, const platform::Registry& registry,
                  const platform::UsbDevices& usb, const platform::ServiceResolver* dnssd,
                  std::vector<QueueReport>* report) {
    std::vector<platform::SpoolerPrinter> printers;
    if (!spooler.printers(printers))
        return false;
    std::vector<platform::SpoolerPort> ports;
    if (!spooler.ports(ports))
        return false;

    UsbPortTable usbTable;
    usbTable.build(usb);
    std::optional<PrefetchedResolver> prefetched;
    if (dnssd) {
        std::vector<std::string> names;
        for (const platform::SpoolerPort& port : ports)
            names.push_back(port.name);
        prefetched.emplace(*dnssd, names);
    }
    PortSources sources{registry, usbTable, prefetched ? &*prefetched : nullptr};

    std::vector<QueueReport> rows;
    for (const platform::SpoolerPrinter& printer : printers) {
        std::string problem = "the spooler lists no port of this name";
        bool placed = false;
        for (const platform::SpoolerPort& port : ports) {
            if (port.name != printer.portName)
                continue;
            Classification found = classify(port.name, sources);
            if (!found.classified()) {
                problem = found.problem.empty() ? "not classified" : found.problem;
                continue;
            }
            place(list, printer.name, port.name, found, false, rows);
            placed = true;
            break;
        }
        if (!placed)
            rows.push_back(
                {printer.name, printer.portName, PortType::None, {}, {}, problem, false});
    }

    Classification extra = classify(kExtraPortName, sources);
    if (extra.classified()) {
        extra.names.resize(1);
        place(list, kExtraPortName, kExtraPortName, extra, true, rows);
    }
    if (report)
        *report = std::move(rows);
    return true;
}

bool findSystemPrinters(PrinterList& list, std::vector<QueueReport>* report) {
    std::unique_ptr<platform::Spooler> spooler = platform::systemSpooler();
    std::unique_ptr<platform::UsbDevices> usb = platform::systemUsbDevices();
    std::unique_ptr<platform::ServiceResolver> dnssd = platform::systemServiceResolver();
    return findPrinters(list, *spooler, platform::Registry::system(), *usb, dnssd.get(), report);
}

namespace {

// The spooler with one printer left: a lookup by name classifies, and
// resolves the names of, that queue only.
class OneQueue : public platform::Spooler {
  public:
    OneQueue(platform::Spooler& spooler, std::string name)
        : spooler_(spooler), name_(std::move(name)) {}
    bool printers(std::vector<platform::SpoolerPrinter>& out) override {
        std::vector<platform::SpoolerPrinter> all;
        if (!spooler_.printers(all))
            return false;
        out.clear();
        for (platform::SpoolerPrinter& p : all) {
            if (p.name == name_)
                out.push_back(std::move(p));
        }
        return true;
    }
    bool ports(std::vector<platform::SpoolerPort>& out) override { return spooler_.ports(out); }

  private:
    platform::Spooler& spooler_;
    std::string name_;
};

}  // namespace

std::optional<PortDescriptor> findSystemQueue(const std::string& queue) {
    std::unique_ptr<platform::Spooler> system = platform::systemSpooler();
    OneQueue spooler(*system, queue);
    std::unique_ptr<platform::UsbDevices> usb = platform::systemUsbDevices();
    std::unique_ptr<platform::ServiceResolver> dnssd = platform::systemServiceResolver();
    PrinterList list(PrinterList::kUnbounded);
    if (!findPrinters(list, spooler, platform::Registry::system(), *usb, dnssd.get()))
        return std::nullopt;
    for (std::size_t i = 0; i < list.count(); ++i) {
        auto printer = list.item(i);
        if (printer && printer->name() == queue && !printer->portDescriptor().name().empty())
            return printer->portDescriptor();
    }
    return std::nullopt;
}

}  // namespace upkeep::discovery
