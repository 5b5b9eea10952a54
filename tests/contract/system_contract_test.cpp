// The file system, version information and process services of each platform, through the calls the
// session makes: the same cases run natively on posix and against kernel32/version.dll under Wine.
// (What do_reg makes of a real folder is checked by the whole-program tests.)
#include "app/context.hpp"
#include "contract/platform_fixture.hpp"
#include "install/shell_and_wait.hpp"
#include "state/file_versions.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>

namespace om::test {
namespace {

struct SystemContract : ::testing::Test {
    std::unique_ptr<PlatformFixture> fixture = make_platform_fixture();
    platform::FileSystem& files = fixture->services().files;
    const std::string dir = fixture->folder();
    Context context{fixture->services()};

    void put(const std::string& name, const std::string& text)
    {
        std::ofstream(fixture->native(dir + name), std::ios::binary) << text;
    }
    std::string get(const std::string& name)
    {
        std::ifstream in(fixture->native(dir + name), std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    std::size_t entries()
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(fixture->native(dir)), {}));
    }
    static bool write(platform::FileWriter& writer, const std::string& text)
    {
        return writer.write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
    }
};

TEST_F(SystemContract, FilesFoldersCopiesRenamesAndDeletes)
{
    put("a.txt", "first");
    put("b.txt", "second");
    ASSERT_TRUE(files.create_folder(dir + "om_msi"));
    EXPECT_FALSE(files.create_folder(dir + "om_msi"));
    // Only a file is a file (a pattern names none), only a folder a folder.
    for (const auto& [path, file, folder] : {std::tuple{dir + "a.txt", true, false},
                                             {dir + "missing.txt", false, false},
                                             {dir + "*.txt", false, false},
                                             {std::string(), false, false},
                                             {dir + "om_msi", false, true},
                                             {dir + "om_msi\\", false, true}}) {
        EXPECT_EQ(files.file_exists(path), file) << path;
        EXPECT_EQ(files.folder_exists(path), folder) << path;
    }
    EXPECT_TRUE(files.copy_file(dir + "a.txt", dir + "b.txt"));
    EXPECT_EQ(get("b.txt"), "first");

    put("b.txt", "second");
    EXPECT_FALSE(files.rename_file(dir + "a.txt", dir + "b.txt")); // an existing target stays
    EXPECT_EQ(get("b.txt"), "second");
    EXPECT_TRUE(files.rename_file(dir + "a.txt", dir + "c.txt"));
    EXPECT_EQ(get("c.txt"), "first");
    EXPECT_TRUE(files.delete_file(dir + "c.txt"));
    EXPECT_EQ(entries(), 2u);
}

TEST_F(SystemContract, AWriterShowsOnlyAWholeCommittedFile)
{
    put("package.exe", "old package");
    const std::string big(3 << 20, 'x'); // larger than any write buffer
    {
        auto writer = files.begin_write(dir + "package.exe");
        ASSERT_TRUE(writer);
        EXPECT_TRUE(write(*writer, "head:"));
        EXPECT_TRUE(write(*writer, big));
        EXPECT_EQ(get("package.exe"), "old package");
        EXPECT_EQ(entries(), 2u); // the new bytes sit in one file beside the target
        EXPECT_TRUE(writer->commit());
    }
    EXPECT_EQ(get("package.exe"), "head:" + big);
    {
        auto writer = files.begin_write(dir + "notes.txt");
        ASSERT_TRUE(writer);
        EXPECT_TRUE(write(*writer, "abandoned"));
    }
    EXPECT_FALSE(files.file_exists(dir + "notes.txt"));
    EXPECT_EQ(entries(), 1u);
    {
        auto writer = files.begin_write(dir + "support_installed.txt");
        ASSERT_TRUE(writer);
        EXPECT_TRUE(writer->commit()); // an empty file is a file
    }
    EXPECT_TRUE(files.file_exists(dir + "support_installed.txt"));
    EXPECT_EQ(files.begin_write(dir + "missing\\x.msi"), nullptr);
    EXPECT_EQ(entries(), 2u);
}

TEST_F(SystemContract, VersionTextsOfRealPrograms)
{
    put("notes.exe", "MZ but nothing more");
    const std::pair<std::string, std::string> cases[] = {
        {fixture->program("v15_0_0_1.exe"), " 15. 0. 1"},
        {fixture->program("v2_1_0_300.exe"), " 2. 1. 300"},
        {fixture->program("no_version.exe"), ""},
        {fixture->program("missing.exe"), ""},
        {dir + "notes.exe", ""},
    };
    for (const auto& [path, text] : cases)
        EXPECT_EQ(GetFileVersionData(context, path), text) << path;
}

TEST_F(SystemContract, ShellAndWaitWaitsForTheProgramAndRaisesWhenItCannotStart)
{
    ASSERT_TRUE(files.create_folder(dir + "with blank"));
    ASSERT_TRUE(files.copy_file(fixture->program("v15_0_0_1.exe"), dir + "with blank\\pkg.exe"));
    fixture->set_environment("OM_STAND_IN_SLEEP_MS", "400");
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(ShellAndWait(context, "\"" + dir + "with blank\\pkg.exe\" -y -o", platform::sw_min_no_activate), 0);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, std::chrono::milliseconds(380));
    EXPECT_LT(took, std::chrono::seconds(20));
    EXPECT_NE(get("with blank\\started.txt").find("pkg.exe -y -o"), std::string::npos);

    put("plain.exe", "data");
    for (const std::string& line :
         {std::string("om_no_such_program_here.exe /x"), "\"" + dir + "none.exe\"", "\"" + dir + "plain.exe\""})
        EXPECT_THROW(ShellAndWait(context, line, 6), platform::StartFailed) << line;
    // An identifier that names no process of ours: the wait returns at once, with no exit code.
    EXPECT_FALSE(fixture->services().processes.wait_for_exit(0x7ffffff0));
}

} // namespace
} // namespace om::test
