#pragma once
// The printer on the workstation's first parallel port, whatever port the
// descriptor names. On Linux the device is /dev/lp0 unless the environment
// variable UPKEEP_PARALLEL_DEVICE names another (a pty in tests).

#include <string>

#include "connection/Connection.h"
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
    ~ParallelConnection() override;

    std::uint32_t blockSize() const override { return 65536; }
    bool open() override;
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    bool write(const std::uint8_t* buffer, std::size_t length) override;
    std::uint32_t size() override { return 0; }
    bool remove() override { return false; }
    bool create() override { return false; }

    static std::string devicePath();

  private:
    platform::UniqueFd device_;
};

}  // namespace upkeep
