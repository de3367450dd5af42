#include "update/UpdateSignature.h"

#include <sodium.h>

#include <cstdio>
#include <fstream>
#include <memory>
#include <stdexcept>

namespace vantor {
namespace {

void ensureSodium() {
    if (sodium_init() < 0) throw std::runtime_error("libsodium cannot be initialised");
}

std::string_view trimmed(std::string_view s) {
    auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!s.empty() && blank(s.front())) s.remove_prefix(1);
    while (!s.empty() && blank(s.back())) s.remove_suffix(1);
    return s;
}

}  // namespace

bool parseHex(std::string_view text, unsigned char* out, std::size_t size) {
    text = trimmed(text);
    if (text.size() != 2 * size) return false;
    std::size_t written = 0;
    const char* end = nullptr;
    return sodium_hex2bin(out, size, text.data(), text.size(), nullptr, &written, &end) == 0 && written == size &&
           end == text.data() + text.size();
}

std::string toHex(const unsigned char* data, std::size_t size) {
    std::string hex(2 * size + 1, '\0');
    sodium_bin2hex(hex.data(), hex.size(), data, size);
    hex.pop_back();
    return hex;
}

bool verifyUpdateSignature(std::string_view bytes, std::string_view signatureFile, const UpdatePublicKey& key) {
    ensureSodium();
    unsigned char sig[crypto_sign_BYTES];
    if (!parseHex(signatureFile, sig, sizeof sig)) return false;
    return crypto_sign_verify_detached(sig, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                                       key.data()) == 0;
}

std::string sha256OfFile(const std::string& path) {
    ensureSodium();
    // A stream, not fopen: the "e" (close-on-exec) mode of the C library on
    // Linux makes fopen fail on Windows.
    std::ifstream in(path, std::ios::binary);
    if (!in) return {};
    crypto_hash_sha256_state state;
    crypto_hash_sha256_init(&state);
    std::unique_ptr<char[]> buffer(new char[64 * 1024]);
    while (in) {
        in.read(buffer.get(), 64 * 1024);
        const auto n = in.gcount();
        if (n > 0)
            crypto_hash_sha256_update(&state, reinterpret_cast<const unsigned char*>(buffer.get()),
                                      static_cast<std::size_t>(n));
    }
    if (in.bad()) return {};
    unsigned char digest[crypto_hash_sha256_BYTES];
    crypto_hash_sha256_final(&state, digest);
    return toHex(digest, sizeof digest);
}

}  // namespace vantor
