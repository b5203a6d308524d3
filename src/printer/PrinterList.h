#pragma once
// The printers the program knows: at most 128 in the desktop program's
// window; the command line's fleet work makes lists without that bound.
// Printers are shared so that a worker that outlives a list's owner never
// touches freed memory.

#include <cstddef>
#include <limits>
#include <memory>
#include <mutex>
#include <vector>

#include "printer/Printer.h"

namespace upkeep {

class PrinterList {
  public:
    static constexpr std::size_t kCapacity = 128;
    static constexpr std::size_t kUnbounded = std::numeric_limits<std::size_t>::max();

    explicit PrinterList(std::size_t capacity = kCapacity) : capacity_(capacity) {}
    virtual ~PrinterList() = default;
    PrinterList(const PrinterList&) = delete;
    PrinterList& operator=(const PrinterList&) = delete;

    std::size_t count() const;
    // The printer in slot i, or none when i >= count.
    std::shared_ptr<Printer> item(std::size_t i) const;
    // Stores the printer in the next slot; a full list keeps what it has
    // and counts the printer as left out.
    bool add(std::shared_ptr<Printer> printer);
    std::size_t leftOut() const;
    bool containsPort(const PortDescriptor& port) const;

  private:
    mutable std::mutex mutex_;
    std::size_t capacity_;
    std::vector<std::shared_ptr<Printer>> slots_;
    std::size_t leftOut_ = 0;
};

}  // namespace upkeep
