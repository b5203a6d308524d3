#include "platform/Sha256.h"

#include <openssl/evp.h>

namespace upkeep::platform {

struct Sha256::State {
    struct Free {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, Free> context{EVP_MD_CTX_new()};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (state_->context && EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) != 1)
        state_->context.reset();
}

Sha256::~Sha256() = default;

void Sha256::add(const void* bytes, std::size_t length) {
    if (state_->context && EVP_DigestUpdate(state_->context.get(), bytes, length) != 1)
        state_->context.reset();
}

std::optional<Sha256::Digest> Sha256::finish() {
    Digest digest{};
    unsigned length = 0;
    const bool ok = state_->context &&
                    EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length) == 1 &&
                    length == digest.size();
    state_->context.reset();
    return ok ? std::optional<Digest>(digest) : std::nullopt;
}

}  // namespace upkeep::platform
