// The printers the workstation's discovery finds, for "check --all".

#include <memory>
#include <vector>

#include "package/Environment.h"
#include "printer/PrinterList.h"

namespace upkeep::cli {

std::vector<std::shared_ptr<Printer>> discoveredPrinters() {
    std::vector<std::shared_ptr<Printer>> printers;
    Environment* environment = Environment::instance();
    if (!environment)
        return printers;
    PrinterList list;
    environment->findPrinters(list);
    for (std::size_t i = 0; i < list.count(); ++i) {
        if (auto p = list.item(i))
            printers.push_back(std::move(p));
    }
    return printers;
}

}  // namespace upkeep::cli
