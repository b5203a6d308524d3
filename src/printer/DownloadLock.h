#pragma once
// One download to a printer at a time, across processes: two terminals, a
// cron job and a person, two sites' playbooks. A lock file per printer,
// held with flock for the length of a download; the kernel releases it when
// the process ends, however it ends.

#include <memory>
#include <optional>
#include <string>

#include "connection/PortDescriptor.h"
#include "platform/UniqueFd.h"

namespace upkeep {

// What names one printer however it is written: a network printer by its
// resolved address and data port ("10.0.0.5 9100"), a device by its path.
// A network name that does not resolve stands for itself.
std::string printerIdentity(const PortDescriptor& port);

class DownloadLock {
  public:
    // The lock of the printer behind `port`; none when another process (or
    // another download of this one) holds it, or the lock file cannot be
    // made, with `problem` saying which.
    static std::optional<DownloadLock> take(const PortDescriptor& port, std::string& problem);

    // The directory of the lock files: UPKEEP_LOCK_DIR, else /run/lock/upkeep
    // (shared by every user, so that their downloads exclude each other),
    // else the user's runtime directory.
    static std::string directory();

  private:
    explicit DownloadLock(platform::UniqueFd fd) : fd_(std::move(fd)) {}
    platform::UniqueFd fd_;
};

}  // namespace upkeep
