#pragma once
// Release signature checks with OpenSSL's libcrypto (EVP).
#include "platform/signature_verifier.hpp"

namespace om::platform::posix {

class OpensslSignatureVerifier : public SignatureVerifier {
public:
    bool verify_file(const PublicKey& key, std::span<const std::uint8_t> prefix, const std::string& path,
                     const Signature& signature) override;
};

} // namespace om::platform::posix
