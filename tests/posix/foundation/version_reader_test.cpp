// The version reader on real program files: PE files made by the cross tools and the ELF stand-ins, read
// through GetFileVersionData and do_reg with the real posix services in a real folder.
#include "platform/posix/clock.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/version_reader.hpp"
#include "posix/foundation/temp_folder.hpp"
#include "state/crash_detector.hpp"
#include "state/file_versions.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <thread>

namespace om {
namespace {

namespace fs = std::filesystem;

std::string programs_folder()
{
    const char* dir = std::getenv("OM_TEST_PROGRAMS");
    return dir && *dir ? dir : OM_TEST_PROGRAMS_BUILT;
}

std::string program(const std::string& name)
{
    return programs_folder() + "/" + name;
}

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The session logic on the real posix registry, version reader, file system and clock; the rest fakes.
struct RealServices : ::testing::Test {
    test::TempFolder folder;
    test::TestPlatform fakes;
    platform::posix::RegistryFile registry{folder.file("HKEY_CURRENT_USER.reg")};
    platform::posix::VersionReader versions;
    platform::posix::PosixFileSystem files;
    platform::posix::PosixClock clock;
    platform::Platform services{registry,      versions,     files,       fakes.processes, clock,
                                fakes.network, fakes.window, *fakes.http, *fakes.ftp,      fakes.packages};
    Context context{services};

    std::string version_of(const std::string& path) { return GetFileVersionData(context, path); }
};

TEST_F(RealServices, PeFilesGiveTheirVersionResource)
{
    if (!fs::exists(program("pe/pe64_15_0_0_1.exe")))
        GTEST_SKIP() << "no PE samples (mingw-w64 cross tools missing)";
    EXPECT_EQ(version_of(program("pe/pe64_15_0_0_1.exe")), " 15. 0. 1");
    EXPECT_EQ(version_of(program("pe/pe64_2_1_0_300.exe")), " 2. 1. 300");
    EXPECT_EQ(version_of(program("pe/pe64_no_resource.exe")), "");
    if (fs::exists(program("pe/pe32_2_1_0_300.exe"))) {
        EXPECT_EQ(version_of(program("pe/pe32_2_1_0_300.exe")), " 2. 1. 300");
    }

    // The block is the resource as Windows keeps it: VS_VERSIONINFO, its key, the fixed block at 40.
    auto block = versions.file_version_block(program("pe/pe64_15_0_0_1.exe"));
    ASSERT_GE(block.size(), 92u);
    EXPECT_EQ(block[0] | (block[1] << 8), static_cast<int>(block.size()));
    EXPECT_EQ(block[6], 'V');
    EXPECT_EQ(block[8], 'S');
    EXPECT_EQ(block[40] | (block[41] << 8) | (block[42] << 16) | (block[43] << 24), static_cast<int>(0xFEEF04BD));
}

TEST_F(RealServices, ElfStandInsGiveTheirVersionSection)
{
    EXPECT_EQ(version_of(program("v15_0_0_1.exe")), " 15. 0. 1");
    EXPECT_EQ(version_of(program("v2_1_0_300.exe")), " 2. 1. 300");
    EXPECT_EQ(version_of(program("ombrix32_2.1.6.exe")), " 2. 1. 6");
    EXPECT_EQ(version_of(program("no_version.exe")), "");
    // 64-bit and 32-bit ELF files that hold nothing but the section.
    EXPECT_EQ(version_of(program("elf/elf64_2_1_0_300.o")), " 2. 1. 300");
    EXPECT_EQ(version_of(program("elf/elf32_2_1_0_300.o")), " 2. 1. 300");
    EXPECT_EQ(version_of(program("missing.exe")), "");
    // Not a program at all, and a folder.
    std::ofstream(folder.file("text.exe")) << "MZ but nothing more";
    EXPECT_EQ(version_of(folder.file("text.exe")), "");
    EXPECT_EQ(versions.file_version_block(folder.path()), std::vector<std::uint8_t>{});
}

TEST_F(RealServices, CutOrDamagedProgramsGiveNoBlockAndNeverReadOutside)
{
    // Every cut of a real PE and ELF file, and every byte of their headers flipped: the reader stays in
    // the buffer (the sanitizer build checks that) and only the whole file yields the block.
    std::vector<std::string> samples{program("v2_1_0_300.exe"), program("elf/elf32_2_1_0_300.o")};
    if (fs::exists(program("pe/pe64_2_1_0_300.exe")))
        samples.push_back(program("pe/pe64_2_1_0_300.exe"));
    for (const std::string& sample : samples) {
        SCOPED_TRACE(sample);
        const std::vector<std::uint8_t> whole = read_bytes(sample);
        const auto expected = platform::posix::read_version_block(whole);
        ASSERT_EQ(expected.size() >= 92, true);
        // Every size up to 1 KiB (the headers), then some 200 sizes spread over the rest.
        const std::size_t stride = std::max<std::size_t>(1, whole.size() / 200);
        std::size_t found_in_cuts = 0;
        for (std::size_t size = 0; size < whole.size(); size += (size < 1024 ? 1 : stride)) {
            // A copy of exactly that size, so that a read past it is a read outside the allocation.
            std::vector<std::uint8_t> cut(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(size));
            auto block = platform::posix::read_version_block(cut);
            if (!block.empty()) {
                EXPECT_EQ(block, expected);
                ++found_in_cuts;
            }
        }
        // Sections past the block may be cut away; the block's own bytes may not.
        EXPECT_LT(found_in_cuts, whole.size());
        std::vector<std::uint8_t> damaged = whole;
        for (std::size_t at = 0; at < std::min<std::size_t>(whole.size(), 1024); ++at) {
            damaged[at] ^= 0xff;
            (void)platform::posix::read_version_block(damaged);
            damaged[at] ^= 0xff;
        }
    }
}

TEST_F(RealServices, DoRegSurveysARealFolderIntoTheRegistryFile)
{
    std::ofstream(folder.file("HKEY_CURRENT_USER.reg"))
        << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n";
    const std::string install = folder.file("install");
    fs::create_directory(install);
    fs::copy_file(program("ombrix32_2.1.5.exe"), install + "/ombrix32.exe");
    fs::copy_file(program("v15_0_0_1.exe"), install + "/om_updat.exe");
    fs::copy_file(program("no_version.exe"), install + "/vistrel.exe");
    fs::copy_file(program("v2_1_0_300.exe"), install + "/om_tarsel.exe");
    fs::create_directory(install + "/quorin.exe"); // a folder, not a program: counts as missing
    // The session's paths end in "\"; the posix layer reads it as "/".
    context.session.install_dir = install + "\\";
    do_reg(context);

    EXPECT_EQ(context.session.installed_version, "2.1.5");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, app_key_path, "fileversions"),
              "om_tarsel.exe: 2.1.300   quorin.exe: 0.0.0   vistrel.exe:    om_updat.exe: 15.0.1");
    EXPECT_EQ(read_last_failure_run(registry), "[Updating {v.2.1.5<-}]");
    EXPECT_TRUE(
        std::regex_match(read_reg_text(registry, RootKey::current_user, app_key_path, "LastSuccessRun"),
                         std::regex(R"(\[Updated \{v\.2\.1\.5: [01]\d-[0-3]\d-20\d\d [0-2]\d:[0-5]\d:[0-5]\d\}\])")));

    // The main executable gone: "0.0.0", and the history chains the previous run.
    fs::remove(install + "/ombrix32.exe");
    do_reg(context);
    EXPECT_EQ(read_last_failure_run(registry), "[Updating [Updating {v.0.0.0<-v.2.1.5<-]}]");
}

TEST_F(RealServices, DoRegFromAnEmptyFolderRecordsZeroVersions)
{
    std::ofstream(folder.file("HKEY_CURRENT_USER.reg"))
        << "REGEDIT4\n\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n";
    const std::string empty = folder.file("empty");
    fs::create_directory(empty);
    context.session.install_dir = empty + "/";
    do_reg(context);
    EXPECT_EQ(read_last_failure_run(registry), "[Updating {v.0.0.0<-}]");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, app_key_path, "fileversions"),
              "om_tarsel.exe: 0.0.0   quorin.exe: 0.0.0   vistrel.exe: 0.0.0   om_updat.exe: 0.0.0");
}

TEST(PosixClock, WallTimeIsTodayAndMonotonicTimeAdvances)
{
    platform::posix::PosixClock clock;
    auto now = clock.local_now();
    std::time_t t = std::time(nullptr);
    std::tm local{};
    ::localtime_r(&t, &local);
    EXPECT_EQ(now.year, local.tm_year + 1900);
    EXPECT_EQ(now.month, local.tm_mon + 1);
    EXPECT_GE(now.day, 1);
    EXPECT_LE(now.day, 31);
    auto first = clock.monotonic_ms();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    auto second = clock.monotonic_ms();
    EXPECT_GE(second - first, 19);
    EXPECT_LT(second - first, 5000);
}

} // namespace
} // namespace om
