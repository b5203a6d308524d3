#pragma once
// The printers the program knows, at most 128. Printers are shared so that
// a worker that outlives a list's owner never touches freed memory.

#include <array>
#include <cstddef>
#include <memory>
#include <mutex>

#include "printer/Printer.h"

namespace upkeep {

class PrinterList {
  public:
    static constexpr std::size_t kCapacity = 128;

    PrinterList() = default;
    virtual ~PrinterList() = default;
    PrinterList(const PrinterList&) = delete;
    PrinterList& operator=(const PrinterList&) = delete;

    std::size_t count() const;
    // The printer in slot i, or none when i >= count.
    std::shared_ptr<Printer> item(std::size_t i) const;
    // Stores the printer in the next slot; a full list keeps what it has.
    bool add(std::shared_ptr<Printer> printer);
    bool containsPort(const PortDescriptor& port) const;

  private:
    mutable std::mutex mutex_;
    std::size_t count_ = 0;
    std::array<std::shared_ptr<Printer>, kCapacity> slots_;
};

}  // namespace upkeep
