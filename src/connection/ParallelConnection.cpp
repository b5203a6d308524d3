#include "connection/ParallelConnection.h"

#include <cstdlib>

#include "connection/DeviceIo.h"
#include "package/Environment.h"
#include "platform/ServiceControl.h"

namespace upkeep {

std::string ParallelConnection::devicePath() {
    const char* path = std::getenv("UPKEEP_PARALLEL_DEVICE");
    return path && *path ? path : deviceio::kParallelPort;
}

ParallelConnection::ParallelConnection(const PortDescriptor& descriptor) {
    if (descriptor.name().view().starts_with('/'))
        path_ = descriptor.name().str();
}

std::optional<std::string> ParallelConnection::deviceProblem(const std::string& path) {
    const std::string base = path.substr(path.rfind('/') + 1);
    if (!base.starts_with("parport"))
        return std::nullopt;
    return path +
           " is the raw parallel port, which cannot be written without claiming it; its "
           "printer is /dev/lp" +
           base.substr(7);
}

ParallelConnection::~ParallelConnection() {
    device_.reset();
    // Whatever happened, the workstation gets its spooler back.
    platform::serviceControl().startSpooler();
}

bool ParallelConnection::open() {
    Environment* environment = Environment::instance();
    OsKind kind = environment ? environment->osKind() : OsKind::Unknown;
    platform::ServiceControl& services = platform::serviceControl();
    if (kind == OsKind::WinNt5) {
        if (!services.defineParallelDevice())
            return false;
    } else if (kind == OsKind::WinNt) {
        if (!services.stopSpooler())
            return false;
        platform::Clock::sleepFor(kAfterSpoolerStop);
    }
    if (deviceProblem(path_) || !lock_.acquire(path_, cancelWord()))
        return false;
    if (*deviceio::kRawParallelPort != '\0' && path_ == deviceio::kParallelPort)
        device_ = deviceio::openCharDevice(deviceio::kRawParallelPort);
    if (!device_.valid())
        device_ = deviceio::openCharDevice(path_);
    return device_.valid();
}

bool ParallelConnection::write(const std::uint8_t* buffer, std::size_t length) {
    if (!device_.valid() || buffer == nullptr)
        return false;
    // All bytes: a short write is not reported as sent.
    return deviceio::writeAll(device_.get(), buffer, length, kWriteLimit, cancelWord());
}

bool ParallelConnection::read(std::uint8_t* buffer, std::size_t& length) {
    if (!device_.valid() || buffer == nullptr) {
        length = 0;
        return false;
    }
    return deviceio::readSome(device_.get(), buffer, length, kReadLimit, cancelWord());
}

}  // namespace upkeep
