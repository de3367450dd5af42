#pragma once
// The test suite's own update keys: a key pair made per use, signatures and
// update-information files as the publisher's signing program writes them.

#include "update/UpdateSignature.h"

#include <sodium.h>

#include <algorithm>
#include <array>
#include <fstream>
#include <string>
#include <vector>

namespace vantor::test {

struct TestKey {
    UpdatePublicKey pub{};
    std::array<unsigned char, crypto_sign_SECRETKEYBYTES> secret{};
    TestKey() {
        if (sodium_init() < 0) return;
        crypto_sign_keypair(pub.data(), secret.data());
    }
    // The key pair the build made for the test copies of the programs.
    static TestKey fromFile(const std::string& secretKeyFile) {
        TestKey k;
        std::ifstream in(secretKeyFile);
        std::string hex;
        in >> hex;
        if (parseHex(hex, k.secret.data(), k.secret.size()))
            std::copy(k.secret.end() - 32, k.secret.end(), k.pub.begin());
        return k;
    }
    // The ".sig" file of bytes.
    std::string sign(const std::string& bytes) const {
        unsigned char sig[crypto_sign_BYTES];
        crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(),
                             secret.data());
        return toHex(sig, sizeof sig) + "\n";
    }
};

inline std::string sha256Hex(const std::string& bytes) {
    unsigned char d[crypto_hash_sha256_BYTES];
    crypto_hash_sha256(d, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size());
    return toHex(d, sizeof d);
}

// One listed file: its address and the bytes the information file describes.
struct Listed {
    std::string url;
    std::string bytes;
};

// "#version=V", then per file "#url", "#url2", "#url3"... with ".size" and ".sha256".
inline std::string infoFile(const std::string& version, const std::vector<Listed>& files,
                            const std::string& extra = "") {
    std::string text = "#version=" + version + "\r\n" + extra;
    for (std::size_t i = 0; i < files.size(); ++i) {
        const std::string key = i == 0 ? "url" : "url" + std::to_string(i + 1);
        text += "#" + key + "=" + files[i].url + "\r\n";
        text += "#" + key + ".size=" + std::to_string(files[i].bytes.size()) + "\r\n";
        text += "#" + key + ".sha256=" + sha256Hex(files[i].bytes) + "\r\n";
    }
    return text;
}

}  // namespace vantor::test
