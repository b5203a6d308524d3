#pragma once
// A printer on a parallel port. A descriptor naming a device path
// ("/dev/lp1") is that device; any other name (a spooler's "LPT2:") is the
// workstation's first parallel port, which on Linux is /dev/lp0 unless the
// environment variable UPKEEP_PARALLEL_DEVICE names another (a pty in
// tests); on Windows it is \\.\LPT1, tried after the raw device name the
// service control defines for it. The raw port nodes (/dev/parportN) are
// refused: they cannot be written without claiming the port; the printer
// is its /dev/lpN.

#include <optional>
#include <string>

#include "connection/Connection.h"
#include "connection/DeviceLock.h"
#include "platform/Clock.h"
#include "platform/UniqueFd.h"

namespace upkeep {

class ParallelConnection final : public Connection {
  public:
    static constexpr platform::Millis kReadLimit{3'000};
    // A write fails when the device takes no byte for this long.
    static constexpr platform::Millis kWriteLimit{30'000};
    static constexpr platform::Millis kAfterSpoolerStop{3'000};

    ParallelConnection() = default;
    explicit ParallelConnection(const PortDescriptor& descriptor);
    ~ParallelConnection() override;

    std::uint32_t blockSize() const override { return 65536; }
    bool open() override;
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    bool write(const std::uint8_t* buffer, std::size_t length) override;
    std::uint64_t size() override { return 0; }
    bool remove() override { return false; }
    bool create() override { return false; }

    // The first parallel port's device.
    static std::string devicePath();
    // The device this connection opens.
    const std::string& path() const { return path_; }
    // Why `path` cannot be a printer's device (a raw port node), naming the
    // device to use instead; nullopt when nothing is wrong with the name.
    static std::optional<std::string> deviceProblem(const std::string& path);

  private:
    std::string path_ = devicePath();
    DeviceLock lock_;  // taken before the device is opened, kept while it is
    platform::UniqueFd device_;
};

}  // namespace upkeep
