#pragma once
// SHA-256 of a stream of bytes. Two implementations, one picked by the build:
// OpenSSL where the system has it (its routines use the processor's SHA
// instructions; loaded at the first hash), libsodium elsewhere (the Windows
// build).

#include <cstddef>
#include <memory>
#include <string>

namespace vantor {

class Sha256 {
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256&) = delete;
    Sha256& operator=(const Sha256&) = delete;

    // False when the hash could not be set up; update and hexDigest then do nothing.
    bool ok() const;
    void update(const void* data, std::size_t size);
    // The digest as 64 lower-case hex digits; ends the hash.
    std::string hexDigest();

private:
    struct State;
    std::unique_ptr<State> state_;
};

}  // namespace vantor
