#include "update/Sha256.h"

#include <sodium.h>

namespace vantor {

struct Sha256::State {
    crypto_hash_sha256_state hash;
    bool open = false;
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    state_->open = sodium_init() >= 0 && crypto_hash_sha256_init(&state_->hash) == 0;
}

Sha256::~Sha256() = default;

bool Sha256::ok() const { return state_->open; }

void Sha256::update(const void* data, std::size_t size) {
    if (state_->open) crypto_hash_sha256_update(&state_->hash, static_cast<const unsigned char*>(data), size);
}

std::string Sha256::hexDigest() {
    if (!state_->open) return {};
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state_->hash, digest);
    state_->open = false;
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned char b : digest) {
        hex += digits[b >> 4];
        hex += digits[b & 15];
    }
    return hex;
}

}  // namespace vantor
