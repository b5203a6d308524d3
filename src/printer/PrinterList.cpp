#include "printer/PrinterList.h"

namespace upkeep {

std::size_t PrinterList::count() const {
    std::lock_guard lock(mutex_);
    return slots_.size();
}

std::shared_ptr<Printer> PrinterList::item(std::size_t i) const {
    std::lock_guard lock(mutex_);
    return i < slots_.size() ? slots_[i] : nullptr;
}

bool PrinterList::add(std::shared_ptr<Printer> printer) {
    std::lock_guard lock(mutex_);
    if (slots_.size() >= capacity_) {
        ++leftOut_;
        return false;
    }
    slots_.push_back(std::move(printer));
    return true;
}

std::size_t PrinterList::leftOut() const {
    std::lock_guard lock(mutex_);
    return leftOut_;
}

bool PrinterList::containsPort(const PortDescriptor& port) const {
    std::lock_guard lock(mutex_);
    for (const auto& printer : slots_) {
        if (printer && printer->samePortAs(port))
            return true;
    }
    return false;
}

}  // namespace upkeep
