// vantor-sign: the publisher's signing program for updates.
//
//   vantor-sign keygen DIR
//       a new key pair: DIR/update.key (secret, keep it safe) and DIR/update.pub
//       (the public key for the build setting VANTOR_UPDATE_PUBLIC_KEY)
//   vantor-sign release KEYFILE INFOFILE VERSION BASEURL FILE...
//       writes the update-information file INFOFILE for VERSION listing the
//       files (each at BASEURL/NAME, with its size and SHA-256), and its
//       signature INFOFILE.sig
//   vantor-sign sign KEYFILE FILE
//       signs an information file written by hand: FILE.sig

#include "update/UpdateSignature.h"

#include <sodium.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

using namespace vantor;

namespace {

int usage() {
    std::fputs(
        "usage: vantor-sign keygen DIR\n"
        "       vantor-sign release KEYFILE INFOFILE VERSION BASEURL FILE...\n"
        "       vantor-sign sign KEYFILE FILE\n",
        stderr);
    return 2;
}

bool readAll(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

// A secret file gets its owner-only permissions while it is still empty.
bool writeAll(const std::string& path, const std::string& bytes, bool secret = false) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) return false;
    if (secret) {
        std::error_code ec;
        namespace fs = std::filesystem;
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write, fs::perm_options::replace, ec);
        if (ec) return false;
    }
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

bool readSecretKey(const std::string& path, unsigned char* key) {
    std::string text;
    if (!readAll(path, text) || !parseHex(text, key, crypto_sign_SECRETKEYBYTES)) {
        std::fprintf(stderr, "vantor-sign: %s holds no secret key\n", path.c_str());
        return false;
    }
    return true;
}

bool sign(const unsigned char* key, const std::string& infoFile) {
    std::string bytes;
    if (!readAll(infoFile, bytes)) {
        std::fprintf(stderr, "vantor-sign: cannot read %s\n", infoFile.c_str());
        return false;
    }
    unsigned char sig[crypto_sign_BYTES];
    crypto_sign_detached(sig, nullptr, reinterpret_cast<const unsigned char*>(bytes.data()), bytes.size(), key);
    if (!writeAll(infoFile + ".sig", toHex(sig, sizeof sig) + "\n")) {
        std::fprintf(stderr, "vantor-sign: cannot write %s.sig\n", infoFile.c_str());
        return false;
    }
    return true;
}

int keygen(const std::string& dir) {
    unsigned char pk[crypto_sign_PUBLICKEYBYTES], sk[crypto_sign_SECRETKEYBYTES];
    crypto_sign_keypair(pk, sk);
    std::filesystem::create_directories(dir);
    const std::string secret = dir + "/update.key", pub = dir + "/update.pub";
    if (std::filesystem::exists(secret)) {
        std::fprintf(stderr, "vantor-sign: %s exists already\n", secret.c_str());
        return 1;
    }
    if (!writeAll(secret, toHex(sk, sizeof sk) + "\n", true) || !writeAll(pub, toHex(pk, sizeof pk) + "\n")) {
        std::fprintf(stderr, "vantor-sign: cannot write the keys into %s\n", dir.c_str());
        return 1;
    }
    std::printf("%s\n", toHex(pk, sizeof pk).c_str());
    return 0;
}

int release(int argc, char** argv) {
    unsigned char key[crypto_sign_SECRETKEYBYTES];
    if (!readSecretKey(argv[2], key)) return 1;
    const std::string infoFile = argv[3], version = argv[4];
    std::string base = argv[5];
    if (!base.empty() && base.back() != '/') base += '/';
    std::string info = "#version=" + version + "\r\n";
    // "url", then "url2", "url3"...: a reader counts on from the files it has.
    for (int i = 6; i < argc; ++i) {
        const std::string file = argv[i];
        const std::string key = i == 6 ? "url" : "url" + std::to_string(i - 5);
        const std::string hash = sha256OfFile(file);
        std::error_code ec;
        const auto size = std::filesystem::file_size(file, ec);
        if (hash.empty() || ec) {
            std::fprintf(stderr, "vantor-sign: cannot read %s\n", file.c_str());
            return 1;
        }
        const std::string name = std::filesystem::path(file).filename().string();
        info += "#" + key + "=" + base + name + "\r\n";
        info += "#" + key + ".size=" + std::to_string(size) + "\r\n";
        info += "#" + key + ".sha256=" + hash + "\r\n";
    }
    if (!writeAll(infoFile, info)) {
        std::fprintf(stderr, "vantor-sign: cannot write %s\n", infoFile.c_str());
        return 1;
    }
    return sign(key, infoFile) ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (sodium_init() < 0) return 1;
    if (argc < 2) return usage();
    const std::string cmd = argv[1];
    if (cmd == "keygen" && argc == 3) return keygen(argv[2]);
    if (cmd == "release" && argc >= 7) return release(argc, argv);
    if (cmd == "sign" && argc == 4) {
        unsigned char key[crypto_sign_SECRETKEYBYTES];
        return readSecretKey(argv[2], key) && sign(key, argv[3]) ? 0 : 1;
    }
    return usage();
}
