#pragma once
// A connection over the fuzzer's bytes, handed out at most `chunk` bytes per
// read so that texts land across the readers' refills.

#include <algorithm>
#include <cstring>

#include "connection/Connection.h"

namespace upkeep::fuzz {

class FuzzSource final : public Connection {
  public:
    FuzzSource(const std::uint8_t* data, std::size_t size, std::size_t chunk)
        : data_(data), size_(size), chunk_(chunk == 0 ? 1 : chunk) {}
    std::uint32_t blockSize() const override { return 4096; }
    bool open() override { return true; }
    bool read(std::uint8_t* buffer, std::size_t& length) override {
        std::size_t n = std::min({length, chunk_, size_ - offset_});
        if (n > 0)
            std::memcpy(buffer, data_ + offset_, n);
        offset_ += n;
        length = n;
        return n > 0;
    }
    bool write(const std::uint8_t*, std::size_t) override { return false; }
    std::uint64_t size() override { return size_; }
    bool remove() override { return false; }
    bool create() override { return false; }

  private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t chunk_;
    std::size_t offset_ = 0;
};

}  // namespace upkeep::fuzz
