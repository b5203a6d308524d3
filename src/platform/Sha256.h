#pragma once
// SHA-256, streamed: OpenSSL's EVP on Linux, the system's CNG (BCrypt) on
// Windows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace upkeep::platform {

class Sha256 {
  public:
    using Digest = std::array<std::uint8_t, 32>;

    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    void add(const void* bytes, std::size_t length);
    // The digest of everything added; none when the system's hashing failed
    // at any point. Once only.
    std::optional<Digest> finish();

  private:
    struct State;
    std::unique_ptr<State> state_;
};

// Lower-case hex of bytes.
std::string hexText(const std::uint8_t* bytes, std::size_t length);

}  // namespace upkeep::platform
