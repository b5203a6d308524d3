#include "connection/FileConnection.h"

#include <algorithm>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Descriptors.h"
#include "platform/FileFlags.h"
#include "platform/WorkingDirectory.h"

namespace upkeep {

std::string FileConnection::pathOf(const PortDescriptor& descriptor) {
    std::string path;
    std::uint32_t number = descriptor.channel();
    if (number == channel::kWorkingDir || number == channel::kWorkingDirCatalogue) {
        path = platform::inWorkingDirectory(descriptor.name().view());
    } else {
        path = descriptor.name().str();
    }
    if (path.size() > kMaxPath)
        path.clear();
    return path;
}

FileConnection::FileConnection(const PortDescriptor& descriptor)
    : descriptor_(descriptor), path_(pathOf(descriptor)) {}

bool FileConnection::open() {
    if (path_.empty() || file_.valid())
        return false;
    // Non-blocking only so that a pipe cannot hold up the open itself.
    platform::UniqueFd fd(::open(path_.c_str(), platform::kOpenReadNoWait));
    if (!fd.valid()) {
        platform::noteOpenFailure(errno);
        return false;
    }
    // Directories, pipes and devices open too, but are no file: a device
    // would be streamed to a printer without end.
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode))
        return false;
    platform::waitOnReads(fd.get());
    file_ = std::move(fd);
    return true;
}

void FileConnection::adopt(platform::UniqueFd file) {
    file_ = std::move(file);
    aheadStart_ = aheadEnd_ = 0;
}

bool FileConnection::read(std::uint8_t* buffer, std::size_t& length) {
    std::size_t capacity = length;
    length = 0;
    if (!file_.valid() || buffer == nullptr || capacity == 0)
        return false;
    if (aheadStart_ == aheadEnd_) {
        if (!ahead_)
            ahead_ = std::make_unique<std::uint8_t[]>(kReadAhead);
        ssize_t got;
        do {
            got = ::read(file_.get(), ahead_.get(), kReadAhead);
        } while (got < 0 && errno == EINTR);
        if (got <= 0)
            return false;
        aheadStart_ = 0;
        aheadEnd_ = static_cast<std::size_t>(got);
    }
    length = std::min(capacity, aheadEnd_ - aheadStart_);
    std::memcpy(buffer, ahead_.get() + aheadStart_, length);
    aheadStart_ += length;
    return true;
}

bool FileConnection::write(const std::uint8_t* /*buffer*/, std::size_t /*length*/) {
    return false;
}

std::uint64_t FileConnection::size() {
    if (!file_.valid())
        return 0;
    struct stat info {};
    if (::fstat(file_.get(), &info) != 0)
        return 0;
    return static_cast<std::uint64_t>(info.st_size);
}

bool FileConnection::remove() {
    file_.reset();
    platform::Clock::sleepFor(kRemovePause);
    if (path_.empty())
        return false;
    return ::unlink(path_.c_str()) == 0;
}

bool FileConnection::create() {
    file_.reset();
    if (path_.empty())
        return false;
    platform::UniqueFd fd(::open(path_.c_str(), platform::kOpenRead | O_CREAT, 0644));
    return fd.valid();
}

}  // namespace upkeep
