#include "printer/DownloadLock.h"

#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "connection/NetworkName.h"
#include "connection/ParallelConnection.h"
#include "platform/FileLock.h"
#include "platform/LockFiles.h"

namespace upkeep {
namespace {

constexpr std::uint16_t kDataPort = 9100;

// A file name for an identity: letters and digits kept, the rest escaped,
// so that no two identities share a file and none leaves the directory.
std::string fileNameOf(const std::string& identity) {
    static const char* const kHex = "0123456789abcdef";
    std::string name;
    for (unsigned char c : identity) {
        if (std::isalnum(c) || c == '.' || c == '-') {
            name += static_cast<char>(c);
        } else {
            name += '_';
            name += kHex[c >> 4];
            name += kHex[c & 15];
        }
    }
    // A long identity keeps a name the file system takes; the rest of it is
    // in the file, and a clash only makes two printers wait for each other.
    if (name.size() > 200)
        name = name.substr(0, 200);
    return name + ".lock";
}

}  // namespace

std::string printerIdentity(const PortDescriptor& port) {
    const std::string name = port.name().str();
    switch (port.portType()) {
        case PortType::TcpIp: {
            std::optional<NetworkName> resolved = resolveNetworkName(name);
            if (!resolved)
                return "net " + name;
            return "net " + resolved->text() + " " +
                   std::to_string(resolved->port.value_or(kDataPort));
        }
        case PortType::Parallel: {
            std::string path =
                (!name.empty() && name.front() == '/') ? name : ParallelConnection::devicePath();
            return "dev " + std::filesystem::path(path).lexically_normal().string();
        }
        case PortType::Usb:
            return "dev " + std::filesystem::path(name).lexically_normal().string();
        default:
            return "other " + std::to_string(static_cast<int>(port.portType())) + " " + name;
    }
}

std::string DownloadLock::directory() {
    if (const char* chosen = std::getenv("UPKEEP_LOCK_DIR"); chosen && *chosen) {
        platform::usableDirectory(chosen, false);
        return chosen;
    }
    return platform::lockDirectory();
}

std::optional<DownloadLock> DownloadLock::take(const PortDescriptor& port, std::string& problem) {
    const std::string dir = directory();
    const std::string identity = printerIdentity(port);
    const std::string path = dir + "/" + fileNameOf(identity);
    platform::UniqueFd fd(platform::openLockFile(path));
    if (!fd.valid()) {
        problem = "cannot make the lock file " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    const platform::FileLock lock = platform::lockFile(fd.get(), false);
    if (lock != platform::FileLock::Taken) {
        problem = lock == platform::FileLock::Busy
                      ? "another download to this printer is running (" + path + ")"
                      : "cannot lock " + path + ": " + std::strerror(errno);
        return std::nullopt;
    }
    // Who holds it, for whoever looks.
    const std::string holder = identity + " pid " + std::to_string(platform::processId()) + "\n";
    if (::ftruncate(fd.get(), 0) == 0)
        (void)!::write(fd.get(), holder.data(), holder.size());
    return DownloadLock(std::move(fd));
}

}  // namespace upkeep
