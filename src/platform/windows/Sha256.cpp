#include "platform/Sha256.h"

#include <windows.h>
// After windows.h, which it needs.
#include <bcrypt.h>

namespace upkeep::platform {

struct Sha256::State {
    BCRYPT_ALG_HANDLE algorithm = nullptr;
    BCRYPT_HASH_HANDLE hash = nullptr;
    bool ok = false;

    ~State() {
        if (hash)
            ::BCryptDestroyHash(hash);
        if (algorithm)
            ::BCryptCloseAlgorithmProvider(algorithm, 0);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->ok = BCRYPT_SUCCESS(::BCryptOpenAlgorithmProvider(
                     &state_->algorithm, BCRYPT_SHA256_ALGORITHM, nullptr, 0)) &&
                 BCRYPT_SUCCESS(::BCryptCreateHash(state_->algorithm, &state_->hash, nullptr, 0,
                                                   nullptr, 0, 0));
}

Sha256::~Sha256() = default;

void Sha256::add(const void* bytes, std::size_t length) {
    const auto* next = static_cast<const std::uint8_t*>(bytes);
    while (state_->ok && length > 0) {
        const ULONG part = length > 0x40000000 ? 0x40000000 : static_cast<ULONG>(length);
        state_->ok =
            BCRYPT_SUCCESS(::BCryptHashData(state_->hash, const_cast<PUCHAR>(next), part, 0));
        next += part;
        length -= part;
    }
}

std::optional<Sha256::Digest> Sha256::finish() {
    Digest digest{};
    const bool ok = state_->ok && BCRYPT_SUCCESS(::BCryptFinishHash(state_->hash, digest.data(),
                                                                    digest.size(), 0));
    state_->ok = false;
    return ok ? std::optional<Digest>(digest) : std::nullopt;
}

}  // namespace upkeep::platform
