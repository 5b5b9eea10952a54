#include "download/package_signature.hpp"

#include "download/signature_format.hpp"
#include "support/captured_log.hpp"
#include "support/test_platform.hpp"

#include <gtest/gtest.h>

#include <numeric>

namespace om {
namespace {

using Strings = std::vector<std::string>;

const std::string counting = "AAECAwQFBgcICQoLDA0ODxAREhMUFRYXGBkaGxwdHh8gISIjJCUmJygpKissLS4vMDEyMzQ1Njc4OTo7PD0+Pw==";

TEST(SignatureFile, OnlyTheTagAndCanonicalBase64OfSixtyFourBytesAreRead)
{
    std::array<std::uint8_t, 64> bytes{};
    std::iota(bytes.begin(), bytes.end(), 0);
    for (const std::string& end : Strings{"", "\n", "\r\n"})
        EXPECT_EQ(read_signature_file("om-sig-1 " + counting + end), bytes) << end;
    EXPECT_EQ(read_public_key(counting), bytes);
    const std::string bad_last = counting.substr(0, 85) + "/=="; // unused bits set
    for (const std::string& bad : Strings{
             "", "om-sig-1 ", counting, "om-sig-2 " + counting, "om-sig-1  " + counting, "om-sig-1 " + counting + " ",
             "om-sig-1 " + counting + "\n\n", "om-sig-1 " + counting.substr(1), "om-sig-1 A" + counting,
             "om-sig-1 " + bad_last, "om-sig-1 " + counting.substr(0, 86) + "A=", "om-sig-1 !" + counting.substr(1)})
        EXPECT_FALSE(read_signature_file(bad)) << bad;
}

struct FakeVerifier : platform::SignatureVerifier {
    bool valid = true;
    Strings calls;
    bool verify_file(const platform::PublicKey&, std::span<const std::uint8_t> prefix, const std::string& path,
                     const platform::Signature&) override
    {
        calls.push_back(std::string(prefix.begin(), prefix.end()) + path);
        return valid;
    }
};

TEST(PackageSignature, APackageGoesThroughOnlyWithAValidSignatureOrWithoutAReleaseKey)
{
    const std::string package = "C:\\Ombrix\\om_msi\\ombrix32_v2.1.6.msi", sig = "om-sig-1 " + counting + "\n";
    // Release key, .sig file ("-": none), whether the signature verifies (-1: no verifier); the refusal. The
    // package's name comes in mixed case and is signed lower-cased.
    const std::tuple<std::string, std::string, int, std::string> cases[] = {
        {counting, sig, 1, ""},
        {"", "-", 0, ""},
        {counting, "-", 1, "signature missing"},
        {counting, "om-sig-1 xyz", 1, "signature does not match"},
        {"A" + counting, sig, 1, "signature does not match"},
        {counting, sig, 0, "signature does not match"},
        {counting, sig, -1, "signature does not match"}};
    for (const auto& [key, sig_file, verifies, refusal] : cases) {
        SCOPED_TRACE(key + " " + sig_file + " " + refusal);
        test::TestPlatform fakes;
        platform::Platform services = fakes.services();
        FakeVerifier verifier;
        verifier.valid = verifies > 0;
        services.signatures = verifies < 0 ? nullptr : &verifier;
        Context context{services};
        context.session.install_dir = "C:\\Ombrix\\";
        context.release_public_key = key;
        fakes.files.files = {{package, {'m'}}};
        if (sig_file != "-")
            fakes.files.put(package + ".sig", sig_file);
        test::CapturedLog log;
        if (refusal.empty()) {
            verify_package_signature(context, package, "Ombrix32_V2.1.6.msi");
            EXPECT_EQ(log.has("signature of Ombrix32_V2.1.6.msi verified"), !key.empty()) << log.text();
            EXPECT_TRUE(fakes.window.entries("box").empty() && fakes.files.file_exists(package));
            EXPECT_EQ(verifier.calls,
                      key.empty() ? Strings{} : Strings{"om-release-1\nombrix32_v2.1.6.msi\n" + package});
            continue;
        }
        EXPECT_THROW(verify_package_signature(context, package, "Ombrix32_V2.1.6.msi"), ProgramEnded);
        EXPECT_TRUE(log.has("package Ombrix32_V2.1.6.msi refused: " + refusal)) << log.text();
        EXPECT_EQ(fakes.window.entries("box"), Strings{"box The package Ombrix32_V2.1.6.msi was not installed: " +
                                                       refusal + ". It has been deleted.\r\n\r\nLog: " + log.path()});
        EXPECT_TRUE(fakes.files.files.empty());
        ASSERT_EQ(fakes.processes.starts.size(), 1u);
        EXPECT_EQ(fakes.processes.starts[0].command_line, "\"C:\\Ombrix\\ombrix32.exe\"");
    }
}

} // namespace
} // namespace om
