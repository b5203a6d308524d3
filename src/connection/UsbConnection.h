#pragma once
// A printer attached by USB, reached through its device path (a character
// device; anything else does not open). Reads are
// judged after one second: the device is waited for with poll(), bounded by
// that second, and the call never returns before it is over, so every USB
// exchange paces the same whether the printer answers at once or not.

#include <string>

#include "connection/Connection.h"
#include "connection/DeviceLock.h"
#include "platform/Clock.h"
#include "platform/UniqueFd.h"

namespace upkeep {

class UsbConnection final : public Connection {
  public:
    static constexpr std::uint32_t kBlockSize = 1024;
    static constexpr platform::Millis kReadWindow{1000};
    // A device that takes no byte for this long has stopped taking data.
    static constexpr platform::Millis kWriteLimit{30'000};
    static constexpr std::size_t kMaxPath = 4095;  // longer paths are refused, not cut

    explicit UsbConnection(const PortDescriptor& descriptor);
    ~UsbConnection() override = default;

    std::uint32_t blockSize() const override { return kBlockSize; }
    bool open() override;
    // One device read, judged after one second: success only when the read
    // finished within it; never returns earlier.
    bool read(std::uint8_t* buffer, std::size_t& length) override;
    // Writes every byte; fails when the device takes no byte for the write
    // limit, on a cancel, or on a write that moves no byte.
    bool write(const std::uint8_t* buffer, std::size_t length) override;
    std::uint64_t size() override { return 0; }
    bool remove() override { return false; }
    bool create() override { return false; }

    const std::string& devicePath() const { return path_; }

  private:
    PortDescriptor descriptor_;
    std::string path_;
    DeviceLock lock_;  // taken before the device is opened, kept while it is
    platform::UniqueFd device_;
};

}  // namespace upkeep
