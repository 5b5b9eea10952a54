#pragma once
// Release signature checks with Windows' own cryptography (CNG, bcrypt.dll).
#include "platform/signature_verifier.hpp"

namespace om::platform::win32 {

class CngSignatureVerifier : public SignatureVerifier {
public:
    bool verify_file(const PublicKey& key, std::span<const std::uint8_t> prefix, const std::string& path,
                     const Signature& signature) override;
};

} // namespace om::platform::win32
