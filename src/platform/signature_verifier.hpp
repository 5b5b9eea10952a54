#pragma once
// Signature check of a downloaded package: ECDSA on the curve P-256 over a SHA-256 digest, the
// algorithm the platforms carry themselves (CNG on Windows, libcrypto on posix).
#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace om::platform {

// The public point X || Y, each 32 bytes big-endian.
using PublicKey = std::array<std::uint8_t, 64>;
// The signature r || s, each 32 bytes big-endian.
using Signature = std::array<std::uint8_t, 64>;

class SignatureVerifier {
public:
    virtual ~SignatureVerifier() = default;
    // True only when `signature` is `key`'s signature of the SHA-256 digest of `prefix` followed by
    // every byte of the file at `path` (read in pieces, never whole). False when it is not, when the key
    // is no point of the curve, or when the file cannot be read to its end.
    virtual bool verify_file(const PublicKey& key, std::span<const std::uint8_t> prefix, const std::string& path,
                             const Signature& signature) = 0;
};

} // namespace om::platform
