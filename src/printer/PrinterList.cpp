#include "printer/PrinterList.h"

namespace upkeep {

std::size_t PrinterList::count() const {
    std::lock_guard lock(mutex_);
    return count_;
}

std::shared_ptr<Printer> PrinterList::item(std::size_t i) const {
    std::lock_guard lock(mutex_);
    return i < count_ ? slots_[i] : nullptr;
}

bool PrinterList::add(std::shared_ptr<Printer> printer) {
    std::lock_guard lock(mutex_);
    if (count_ >= kCapacity)
        return false;
    slots_[count_++] = std::move(printer);
    return true;
}

bool PrinterList::containsPort(const PortDescriptor& port) const {
    std::lock_guard lock(mutex_);
    for (std::size_t i = 0; i < count_; ++i) {
        if (slots_[i] && slots_[i]->samePortAs(port))
            return true;
    }
    return false;
}

}  // namespace upkeep
