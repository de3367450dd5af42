#include "update/Sha256.h"

#include <openssl/evp.h>

namespace vantor {

struct Sha256::State {
    EVP_MD_CTX* ctx = nullptr;
    ~State() { EVP_MD_CTX_free(ctx); }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->ctx = EVP_MD_CTX_new();
    if (state_->ctx && EVP_DigestInit_ex(state_->ctx, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(state_->ctx);
        state_->ctx = nullptr;
    }
}

Sha256::~Sha256() = default;

bool Sha256::ok() const { return state_->ctx != nullptr; }

void Sha256::update(const void* data, std::size_t size) {
    if (state_->ctx) EVP_DigestUpdate(state_->ctx, data, size);
}

std::string Sha256::hexDigest() {
    if (!state_->ctx) return {};
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(state_->ctx, digest, &length);
    EVP_MD_CTX_free(state_->ctx);
    state_->ctx = nullptr;
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}

}  // namespace vantor
