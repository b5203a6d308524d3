#include "connection/UsbConnection.h"

#include <cmath>

#include "connection/DeviceIo.h"

namespace upkeep {
namespace {

// Sleeps out what is left of a deadline through the time facility, whose
// durations are nominal: the real remainder is turned back into nominal
// time (rounded up, so the deadline is never cut short).
void sleepOut(const platform::Deadline& deadline) {
    platform::Millis left = deadline.remaining();
    if (left.count() > 0) {
        double nominal = std::ceil(static_cast<double>(left.count()) / platform::Clock::scale());
        platform::Clock::sleepFor(platform::Millis{static_cast<long long>(nominal)});
    }
    // remaining() counts whole milliseconds; finish the sliver it leaves.
    while (!deadline.expired())
        platform::Clock::sleepFor(platform::Millis{1});
}

}  // namespace

UsbConnection::UsbConnection(const PortDescriptor& descriptor)
    : descriptor_(descriptor), path_(descriptor.name().str()) {
    if (path_.size() > kMaxPath)
        path_.clear();
}

bool UsbConnection::open() {
    if (path_.empty() || device_.valid())
        return false;
    if (!lock_.acquire(path_, cancelWord()))
        return false;
    // Non-blocking, so that every read and write can be bounded.
    device_ = deviceio::openCharDevice(path_);
    return device_.valid();
}

bool UsbConnection::write(const std::uint8_t* buffer, std::size_t length) {
    if (buffer == nullptr || !device_.valid())
        return false;
    return deviceio::writeAll(device_.get(), buffer, length, kWriteLimit, cancelWord());
}

bool UsbConnection::read(std::uint8_t* buffer, std::size_t& length) {
    if (!device_.valid() || buffer == nullptr) {
        length = 0;
        return false;
    }
    platform::Deadline window(kReadWindow);
    bool finished = deviceio::readSome(device_.get(), buffer, length, kReadWindow, cancelWord());
    // The read is judged when its second is over; a canceled transfer does
    // not wait for that.
    if (!canceled())
        sleepOut(window);
    return finished;
}

}  // namespace upkeep
