// The printers the workstation's discovery finds, for --all, and their
// analysis in parallel.

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "cli/Fleet.h"
#include "cli/TerminalText.h"
#include "cli/Texts.h"
#include "connection/NetworkName.h"
#include "discovery/FindPrinters.h"
#include "platform/Descriptors.h"
#include "printer/PrinterList.h"
#include "printer/SnmpSweep.h"

namespace upkeep::cli {

std::optional<std::vector<std::shared_ptr<Printer>>> discoveredPrinters() {
    // Fleet work covers every queue: the window's bound is not the tool's.
    PrinterList list(PrinterList::kUnbounded);
    if (!discovery::findSystemPrinters(list))
        return std::nullopt;
    std::vector<std::shared_ptr<Printer>> printers;
    for (std::size_t i = 0; i < list.count(); ++i) {
        if (auto p = list.item(i))
            printers.push_back(std::move(p));
    }
    return printers;
}

namespace {

// A network printer by the address and data port it is reached on; a name
// that does not resolve stands for itself.
std::string networkKey(const PortDescriptor& port) {
    constexpr std::uint16_t kDataPort = 9100;
    std::optional<NetworkName> name = resolveNetworkName(port.name().view());
    if (!name)
        return port.name().str();
    return name->text() + " " + std::to_string(name->port.value_or(kDataPort));
}

}  // namespace

void mergeSamePrinters(std::vector<std::shared_ptr<Printer>>& printers) {
    std::unordered_map<std::string, const Printer*> network;
    std::vector<const Printer*> others;
    std::vector<std::shared_ptr<Printer>> kept;
    for (auto& printer : printers) {
        const PortDescriptor port = printer->portDescriptor();
        const Printer* first = nullptr;
        if (port.portType() == PortType::TcpIp && !port.name().empty()) {
            first = network.try_emplace(networkKey(port), printer.get()).first->second;
        } else {
            for (const Printer* other : others) {
                if (other->samePortAs(port))
                    first = other;
            }
            if (first == nullptr)
                others.push_back(printer.get());
        }
        if (first != nullptr && first != printer.get()) {
            std::fprintf(stderr, "upkeepctl: %s\n",
                         message(text::kSamePrinter,
                                 {terminalText(printer->name()), terminalText(first->name())})
                             .c_str());
            continue;
        }
        kept.push_back(std::move(printer));
    }
    printers = std::move(kept);
}

unsigned fitParallel(unsigned wanted, std::size_t descriptorsEach) {
    // Kept for the standard streams, the package, the history and libraries.
    constexpr std::size_t kReserve = 32;
    const std::size_t free = platform::freeDescriptors();
    const std::size_t room =
        free > kReserve ? (free - kReserve) / std::max<std::size_t>(descriptorsEach, 1) : 0;
    return static_cast<unsigned>(std::clamp<std::size_t>(room, 1, std::max(wanted, 1u)));
}

std::optional<std::string> resourceProblem() {
    const int error = platform::resourceShortage();
    if (error == 0)
        return std::nullopt;
    return message(text::kOutOfResources, {std::strerror(error)});
}

void analyseAll(const std::vector<std::shared_ptr<Printer>>& printers, unsigned parallel,
                const std::function<void(const Printer&)>& done) {
    std::mutex reporting;
    auto report = [&](const Printer& printer) {
        if (!done)
            return;
        std::lock_guard lock(reporting);
        done(printer);
    };
    std::vector<Printer*> network, direct;
    for (const auto& printer : printers)
        (printer->portDescriptor().portType() == PortType::TcpIp ? network : direct)
            .push_back(printer.get());
    {
        // Direct ports block on their device, one thread each; a thread holds
        // about a megabyte, hence the bound beside the descriptors'.
        constexpr std::size_t kDirectThreads = 512;
        const std::size_t count =
            std::min({std::size_t{fitParallel(parallel, 1)}, kDirectThreads, direct.size()});
        std::atomic<std::size_t> next{0};
        std::vector<std::jthread> threads;
        for (std::size_t t = 0; t < count; ++t) {
            threads.emplace_back([&] {
                for (std::size_t i; (i = next.fetch_add(1)) < direct.size();) {
                    direct[i]->analyseIfNeeded();
                    report(*direct[i]);
                }
            });
        }
        sweepNetworkPrinters(network, parallel, [&](std::size_t i) { report(*network[i]); });
    }
}

}  // namespace upkeep::cli
