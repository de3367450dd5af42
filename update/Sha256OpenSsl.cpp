// SHA-256 through OpenSSL's libcrypto, loaded at the first hash rather than
// when the program starts (only downloads need it). Where it cannot be
// loaded, libsodium's routine gives the same digest, more slowly.

#include "update/Sha256.h"

#include "platform/SharedLibrary.h"

#include <openssl/evp.h>
#include <sodium.h>

namespace vantor {
namespace {

struct Crypto {
    EVP_MD_CTX* (*ctx_new)();
    void (*ctx_free)(EVP_MD_CTX*);
    const EVP_MD* (*sha256)();
    int (*init)(EVP_MD_CTX*, const EVP_MD*, ENGINE*);
    int (*update)(EVP_MD_CTX*, const void*, size_t);
    int (*final)(EVP_MD_CTX*, unsigned char*, unsigned int*);
    bool loaded = false;
};

const Crypto& crypto() {
    static const Crypto api = [] {
        Crypto c{};
        SharedLibrary lib({"libcrypto.so.3"});
        c.ctx_new = lib.function<decltype(c.ctx_new)>("EVP_MD_CTX_new");
        c.ctx_free = lib.function<decltype(c.ctx_free)>("EVP_MD_CTX_free");
        c.sha256 = lib.function<decltype(c.sha256)>("EVP_sha256");
        c.init = lib.function<decltype(c.init)>("EVP_DigestInit_ex");
        c.update = lib.function<decltype(c.update)>("EVP_DigestUpdate");
        c.final = lib.function<decltype(c.final)>("EVP_DigestFinal_ex");
        c.loaded = c.ctx_new && c.ctx_free && c.sha256 && c.init && c.update && c.final;
        return c;
    }();
    return api;
}

}  // namespace

struct Sha256::State {
    EVP_MD_CTX* ctx = nullptr;  // OpenSSL's, when it could be loaded
    crypto_hash_sha256_state sodium;
    bool open = false;
    ~State() {
        if (ctx) crypto().ctx_free(ctx);
    }
};

Sha256::Sha256() : state_(std::make_unique<State>()) {
    const Crypto& c = crypto();
    if (c.loaded) {
        state_->ctx = c.ctx_new();
        if (state_->ctx && c.init(state_->ctx, c.sha256(), nullptr) == 1) {
            state_->open = true;
            return;
        }
        if (state_->ctx) c.ctx_free(state_->ctx);
        state_->ctx = nullptr;
    }
    state_->open = sodium_init() >= 0 && crypto_hash_sha256_init(&state_->sodium) == 0;
}

Sha256::~Sha256() = default;

bool Sha256::ok() const { return state_->open; }

void Sha256::update(const void* data, std::size_t size) {
    if (!state_->open) return;
    if (state_->ctx)
        crypto().update(state_->ctx, data, size);
    else
        crypto_hash_sha256_update(&state_->sodium, static_cast<const unsigned char*>(data), size);
}

std::string Sha256::hexDigest() {
    if (!state_->open) return {};
    state_->open = false;
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = crypto_hash_sha256_BYTES;
    if (state_->ctx) {
        crypto().final(state_->ctx, digest, &length);
        crypto().ctx_free(state_->ctx);
        state_->ctx = nullptr;
    } else {
        crypto_hash_sha256_final(&state_->sodium, digest);
    }
    static const char* digits = "0123456789abcdef";
    std::string hex;
    for (unsigned int i = 0; i < length; ++i) {
        hex += digits[digest[i] >> 4];
        hex += digits[digest[i] & 15];
    }
    return hex;
}

}  // namespace vantor
