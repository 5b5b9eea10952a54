// Arbitrary bytes as a package's .sig: the reader must not crash, and no signature it reads may pass
// the real check of a fixed package under a fixed key, except the package's genuine one (seeded).
#include "download/signature_format.hpp"
#include "platform/posix/signature_verifier_openssl.hpp"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

constexpr const char* key = "8jcVPrEQwHzlPZfBsI56Rp/msaxiHhvzN06UEwxaFkuHVSAqohja0H4vkKoahfCqeu01qEkBHjdHHbCQAvlxBA==";
constexpr const char* genuine =
    "om-sig-1 bYLtkc6hmZEwGD0sYg5uU1x30vEeRJ7QU3dB5iNPtAic2/qyIZaJTS3KGcw4ioFqtzpqOq4isaKwoLvOx0mvlA==";

// The signed package: "Ombrix release package\n" published as "ombrix32_v2.1.6.msi", removed at exit.
const std::string& package_file()
{
    static const std::string path = "/tmp/fuzz_signature_" + std::to_string(::getpid());
    std::ofstream(path, std::ios::binary) << "Ombrix release package\n";
    std::atexit([] { std::remove(path.c_str()); });
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const std::string& package = package_file();
    static const auto public_key = om::read_public_key(key);
    static const auto genuine_signature = om::read_signature_file(genuine);
    static const auto prefix = om::signed_prefix("ombrix32_v2.1.6.msi");
    static om::platform::posix::OpensslSignatureVerifier verifier;
    if (!public_key || !genuine_signature || !verifier.verify_file(*public_key, prefix, package, *genuine_signature))
        std::abort(); // the fixed case itself must verify, or the check below proves nothing

    const auto signature = om::read_signature_file({reinterpret_cast<const char*>(data), size});
    if (signature && *signature != *genuine_signature && verifier.verify_file(*public_key, prefix, package, *signature))
        std::abort();
    return 0;
}
