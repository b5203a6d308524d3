#include "connection/DeviceIo.h"

namespace upkeep::deviceio {

// To become CreateFile on a USB printer's device interface path, or on the
// first parallel port's DOS device name with its communication time-outs,
// and overlapped reads and writes bounded by the limits and the cancel word.
// Until then no device opens, so a USB or parallel printer is not
// reachable, as one that is not there.
platform::UniqueFd openCharDevice(const std::string&) {
    return {};
}

bool writeAll(int, const std::uint8_t*, std::size_t, platform::Millis, const std::atomic<bool>*) {
    return false;
}

bool readSome(int, std::uint8_t*, std::size_t&, platform::Millis, const std::atomic<bool>*) {
    return false;
}

}  // namespace upkeep::deviceio
