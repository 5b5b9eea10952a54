#include "platform/win32/signature_verifier_cng.hpp"

#include "platform/win32/file_handle.hpp"
#include "platform/win32/unique_handle.hpp"

#include <windows.h>

#include <bcrypt.h>

#include <cstring>
#include <vector>

namespace om::platform::win32 {

namespace {

struct CloseAlgorithm {
    bool operator()(BCRYPT_ALG_HANDLE handle) const { return BCRYPT_SUCCESS(BCryptCloseAlgorithmProvider(handle, 0)); }
};
struct DestroyKey {
    bool operator()(BCRYPT_KEY_HANDLE handle) const { return BCRYPT_SUCCESS(BCryptDestroyKey(handle)); }
};
struct DestroyHash {
    bool operator()(BCRYPT_HASH_HANDLE handle) const { return BCRYPT_SUCCESS(BCryptDestroyHash(handle)); }
};
using UniqueAlgorithm = UniqueHandle<BCRYPT_ALG_HANDLE, CloseAlgorithm>;
using UniqueKey = UniqueHandle<BCRYPT_KEY_HANDLE, DestroyKey>;
using UniqueHash = UniqueHandle<BCRYPT_HASH_HANDLE, DestroyHash>;

UniqueAlgorithm open_algorithm(LPCWSTR name)
{
    BCRYPT_ALG_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptOpenAlgorithmProvider(&handle, name, nullptr, 0)))
        return UniqueAlgorithm();
    return UniqueAlgorithm(handle);
}

// BCRYPT_ECCPUBLIC_BLOB: the blob header, then X and Y.
UniqueKey import_key(BCRYPT_ALG_HANDLE ecdsa, const PublicKey& key)
{
    std::vector<UCHAR> blob(sizeof(BCRYPT_ECCKEY_BLOB) + key.size());
    BCRYPT_ECCKEY_BLOB header{};
    header.dwMagic = BCRYPT_ECDSA_PUBLIC_P256_MAGIC;
    header.cbKey = 32;
    std::memcpy(blob.data(), &header, sizeof header);
    std::memcpy(blob.data() + sizeof header, key.data(), key.size());
    BCRYPT_KEY_HANDLE handle = nullptr;
    if (!BCRYPT_SUCCESS(BCryptImportKeyPair(ecdsa, nullptr, BCRYPT_ECCPUBLIC_BLOB, &handle, blob.data(),
                                            static_cast<ULONG>(blob.size()), 0)))
        return UniqueKey();
    return UniqueKey(handle);
}

bool hash_data(BCRYPT_HASH_HANDLE hash, const void* data, std::size_t size)
{
    return BCRYPT_SUCCESS(
        BCryptHashData(hash, static_cast<PUCHAR>(const_cast<void*>(data)), static_cast<ULONG>(size), 0));
}

// SHA-256 of the prefix and the file, read in pieces; false when the file cannot be read to its end.
bool digest_file(std::span<const std::uint8_t> prefix, const std::string& path, UCHAR (&digest)[32])
{
    const UniqueAlgorithm sha256 = open_algorithm(BCRYPT_SHA256_ALGORITHM);
    if (!sha256)
        return false;
    BCRYPT_HASH_HANDLE made = nullptr;
    // No object buffer: CNG keeps the hash object itself.
    if (!BCRYPT_SUCCESS(BCryptCreateHash(sha256.get(), &made, nullptr, 0, nullptr, 0, 0)))
        return false;
    const UniqueHash hash(made);
    if (!hash_data(hash.get(), prefix.data(), prefix.size()))
        return false;
    UniqueFile file = adopt_file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return false;
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            return false;
        if (got == 0)
            break;
        if (!hash_data(hash.get(), buffer.data(), got))
            return false;
    }
    return BCRYPT_SUCCESS(BCryptFinishHash(hash.get(), digest, sizeof digest, 0));
}

} // namespace

bool CngSignatureVerifier::verify_file(const PublicKey& key, std::span<const std::uint8_t> prefix,
                                       const std::string& path, const Signature& signature)
{
    const UniqueAlgorithm ecdsa = open_algorithm(BCRYPT_ECDSA_P256_ALGORITHM);
    if (!ecdsa)
        return false;
    const UniqueKey public_key = import_key(ecdsa.get(), key);
    UCHAR digest[32];
    if (!public_key || !digest_file(prefix, path, digest))
        return false;
    Signature copy = signature;
    return BCryptVerifySignature(public_key.get(), nullptr, digest, sizeof digest, copy.data(),
                                 static_cast<ULONG>(copy.size()), 0) == 0; // STATUS_SUCCESS
}

} // namespace om::platform::win32
