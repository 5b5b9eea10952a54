#include "download/package_signature.hpp"

#include "download/signature_format.hpp"
#include "support/captured_log.hpp"
#include "support/support.hpp"

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
    for (const std::string& bad :
         Strings{"", "om-sig-1 ", counting, "om-sig-2 " + counting, "om-sig-1  " + counting,
                 "om-sig-1 " + counting + " ", "om-sig-1 " + counting + "\n\n", "om-sig-1 " + counting.substr(1),
                 "om-sig-1 A" + counting, "om-sig-1 " + bad_last,
                 "om-sig-1 " + counting.substr(0, 86) + "A=", "om-sig-1 " + counting.substr(0, 85) + "*=="})
        EXPECT_FALSE(read_signature_file(bad)) << bad;
    const auto prefix = signed_prefix("Up_Support_V7.exe");
    EXPECT_EQ(std::string(prefix.begin(), prefix.end()), "om-release-1\nup_support_v7.exe\n");
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
    const std::string dir = "C:\\Ombrix\\", main_exe = dir + "ombrix32.exe";
    test::TestPlatform fakes;
    platform::Platform services = fakes.services();
    Context context{services};
    context.session.install_dir = dir;
    FakeVerifier verifier;
    services.signatures = &verifier;
    const std::string package = dir + "om_msi\\ombrix32_v2.1.6.msi", sig = "om-sig-1 " + counting + "\n";
    struct Case {
        std::string key, sig_file; // "-": no .sig file
        bool verifies;
        std::string refusal; // "" when the package goes through
    } cases[] = {{counting, sig, true, ""},
                 {"", "-", false, ""},
                 {counting, "-", true, "signature missing"},
                 {counting, "om-sig-1 xyz", true, "signature does not match"},
                 {counting, sig, false, "signature does not match"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.key + " " + c.sig_file + " " + c.refusal);
        context.release_public_key = c.key;
        fakes.files.files[package] = {'m', 's', 'i'};
        fakes.files.files.erase(package + ".sig");
        if (c.sig_file != "-")
            fakes.files.files[package + ".sig"] = {c.sig_file.begin(), c.sig_file.end()};
        verifier.valid = c.verifies;
        verifier.calls.clear();
        fakes.window.log.clear();
        test::CapturedLog log;
        if (c.refusal.empty()) {
            verify_package_signature(context, package, "ombrix32_v2.1.6.msi");
            EXPECT_EQ(log.has("signature of ombrix32_v2.1.6.msi verified"), !c.key.empty()) << log.text();
            EXPECT_TRUE(fakes.window.entries("box").empty() && fakes.files.file_exists(package));
            const Strings signed_call{"om-release-1\nombrix32_v2.1.6.msi\n" + package};
            EXPECT_EQ(verifier.calls, c.key.empty() ? Strings{} : signed_call);
            continue;
        }
        fakes.processes.starts.clear();
        EXPECT_THROW(verify_package_signature(context, package, "ombrix32_v2.1.6.msi"), ProgramEnded);
        EXPECT_TRUE(log.has("package ombrix32_v2.1.6.msi refused: " + c.refusal)) << log.text();
        EXPECT_EQ(fakes.window.entries("box"), Strings{"box The package ombrix32_v2.1.6.msi was not installed: " +
                                                       c.refusal + ". It has been deleted.\r\n\r\nLog: " + log.path()});
        EXPECT_FALSE(fakes.files.file_exists(package) || fakes.files.file_exists(package + ".sig"));
        ASSERT_EQ(fakes.processes.starts.size(), 1u);
        EXPECT_EQ(fakes.processes.starts[0].command_line, "\"" + main_exe + "\"");
    }
}

} // namespace
} // namespace om
