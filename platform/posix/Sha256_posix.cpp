// SHA-256 through OpenSSL's EVP interface, which picks the processor's own
// SHA instructions where there are any.
#include <openssl/evp.h>

#include <stdexcept>

#include "platform/Sha256.h"

namespace platform {

struct Sha256::State {
    struct ContextFree {
        void operator()(EVP_MD_CTX* context) const { EVP_MD_CTX_free(context); }
    };
    std::unique_ptr<EVP_MD_CTX, ContextFree> context{EVP_MD_CTX_new()};
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    if (!state_->context || EVP_DigestInit_ex(state_->context.get(), EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("OpenSSL offers no SHA-256");
}

Sha256::~Sha256() = default;

void Sha256::Update(std::span<const std::byte> bytes) {
    // Fails only on a context that was never set up, which the constructor
    // does not let happen.
    EVP_DigestUpdate(state_->context.get(), bytes.data(), bytes.size());
}

Sha256Digest Sha256::Finish() {
    Sha256Digest digest{};
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->context.get(), digest.data(), &length);
    return digest;
}

}  // namespace platform
