#include "platform/posix/signature_verifier_openssl.hpp"

#include "platform/posix/file_system.hpp"
#include "platform/posix/unique_fd.hpp"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/ecdsa.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <vector>

namespace om::platform::posix {

namespace {

template <class T, void (*Free)(T*)> struct Freer {
    void operator()(T* object) const { Free(object); }
};
using UniquePkey = std::unique_ptr<EVP_PKEY, Freer<EVP_PKEY, EVP_PKEY_free>>;
using UniquePkeyCtx = std::unique_ptr<EVP_PKEY_CTX, Freer<EVP_PKEY_CTX, EVP_PKEY_CTX_free>>;
using UniqueMdCtx = std::unique_ptr<EVP_MD_CTX, Freer<EVP_MD_CTX, EVP_MD_CTX_free>>;
using UniqueParams = std::unique_ptr<OSSL_PARAM, Freer<OSSL_PARAM, OSSL_PARAM_free>>;
using UniqueParamBld = std::unique_ptr<OSSL_PARAM_BLD, Freer<OSSL_PARAM_BLD, OSSL_PARAM_BLD_free>>;
using UniqueEcdsaSig = std::unique_ptr<ECDSA_SIG, Freer<ECDSA_SIG, ECDSA_SIG_free>>;
using UniqueBignum = std::unique_ptr<BIGNUM, Freer<BIGNUM, BN_free>>;

// The point in the uncompressed form 0x04 || X || Y; null when it is not on the curve.
UniquePkey public_key(const PublicKey& key)
{
    std::uint8_t point[1 + 64];
    point[0] = 0x04;
    std::copy(key.begin(), key.end(), point + 1);
    UniqueParamBld builder(OSSL_PARAM_BLD_new());
    if (!builder || !OSSL_PARAM_BLD_push_utf8_string(builder.get(), OSSL_PKEY_PARAM_GROUP_NAME, "prime256v1", 0) ||
        !OSSL_PARAM_BLD_push_octet_string(builder.get(), OSSL_PKEY_PARAM_PUB_KEY, point, sizeof point))
        return nullptr;
    UniqueParams params(OSSL_PARAM_BLD_to_param(builder.get()));
    UniquePkeyCtx context(EVP_PKEY_CTX_new_from_name(nullptr, "EC", nullptr));
    EVP_PKEY* made = nullptr;
    if (!params || !context || EVP_PKEY_fromdata_init(context.get()) != 1 ||
        EVP_PKEY_fromdata(context.get(), &made, EVP_PKEY_PUBLIC_KEY, params.get()) != 1)
        return nullptr;
    UniquePkey pkey(made);
    // fromdata takes any octets: make sure they are a point of the curve.
    UniquePkeyCtx check(EVP_PKEY_CTX_new_from_pkey(nullptr, pkey.get(), nullptr));
    if (!check || EVP_PKEY_public_check(check.get()) != 1)
        return nullptr;
    return pkey;
}

// r || s as the DER sequence libcrypto verifies.
std::vector<unsigned char> der_signature(const Signature& signature)
{
    UniqueEcdsaSig sig(ECDSA_SIG_new());
    UniqueBignum r(BN_bin2bn(signature.data(), 32, nullptr));
    UniqueBignum s(BN_bin2bn(signature.data() + 32, 32, nullptr));
    if (!sig || !r || !s || ECDSA_SIG_set0(sig.get(), r.get(), s.get()) != 1)
        return {};
    r.release(); // the signature owns them now
    s.release();
    const int length = i2d_ECDSA_SIG(sig.get(), nullptr);
    if (length <= 0)
        return {};
    std::vector<unsigned char> der(static_cast<std::size_t>(length));
    unsigned char* out = der.data();
    if (i2d_ECDSA_SIG(sig.get(), &out) != length)
        return {};
    return der;
}

} // namespace

bool OpensslSignatureVerifier::verify_file(const PublicKey& key, std::span<const std::uint8_t> prefix,
                                           const std::string& path, const Signature& signature)
{
    const UniquePkey pkey = public_key(key);
    const std::vector<unsigned char> der = der_signature(signature);
    UniqueMdCtx digest(EVP_MD_CTX_new());
    if (!pkey || der.empty() || !digest ||
        EVP_DigestVerifyInit(digest.get(), nullptr, EVP_sha256(), nullptr, pkey.get()) != 1 ||
        EVP_DigestVerifyUpdate(digest.get(), prefix.data(), prefix.size()) != 1)
        return false;
    UniqueFd file(::open(to_posix_path(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!file.valid())
        return false;
    std::vector<unsigned char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return false;
        if (got == 0)
            break;
        if (EVP_DigestVerifyUpdate(digest.get(), buffer.data(), static_cast<std::size_t>(got)) != 1)
            return false;
    }
    return EVP_DigestVerifyFinal(digest.get(), der.data(), der.size()) == 1;
}

} // namespace om::platform::posix
