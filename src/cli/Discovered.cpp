// The printers the workstation's discovery finds, for --all, and their
// analysis in parallel.

#include <algorithm>
#include <atomic>
#include <thread>

#include "cli/Fleet.h"
#include "discovery/FindPrinters.h"
#include "printer/PrinterList.h"

namespace upkeep::cli {

std::optional<std::vector<std::shared_ptr<Printer>>> discoveredPrinters() {
    PrinterList list;
    if (!discovery::findSystemPrinters(list))
        return std::nullopt;
    std::vector<std::shared_ptr<Printer>> printers;
    for (std::size_t i = 0; i < list.count(); ++i) {
        if (auto p = list.item(i))
            printers.push_back(std::move(p));
    }
    return printers;
}

void analyseAll(const std::vector<std::shared_ptr<Printer>>& printers, unsigned parallel) {
    std::atomic<std::size_t> next{0};
    std::vector<std::thread> threads;
    const std::size_t count = std::min<std::size_t>(parallel, printers.size());
    for (std::size_t t = 0; t < count; ++t) {
        threads.emplace_back([&] {
            for (std::size_t i; (i = next.fetch_add(1)) < printers.size();)
                printers[i]->analyseIfNeeded();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
}

}  // namespace upkeep::cli
