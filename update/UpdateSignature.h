#pragma once
// The signature of the update-information file: Ed25519 over its exact bytes,
// kept at the file's address + ".sig" as 128 hex digits (blanks and line ends
// around them are allowed). The public key is given by the caller: the
// program's entry passes the one compiled in (UpdatePublicKey.h).

#include <array>
#include <string>
#include <string_view>

namespace vantor {

using UpdatePublicKey = std::array<unsigned char, 32>;

// The hex digits of a key or signature; empty optional-like result (false)
// when the text is not exactly that many hex digits.
bool parseHex(std::string_view text, unsigned char* out, std::size_t size);
std::string toHex(const unsigned char* data, std::size_t size);

// Whether signatureFile holds a valid signature of bytes under key.
bool verifyUpdateSignature(std::string_view bytes, std::string_view signatureFile, const UpdatePublicKey& key);

// The hex SHA-256 of a file, streamed; empty when it cannot be read.
std::string sha256OfFile(const std::string& path);

}  // namespace vantor
