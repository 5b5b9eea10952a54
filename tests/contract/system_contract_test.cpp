// The file system, version information and process services of each platform where the whole-program
// tests do not reach them: the same cases run natively on posix and against kernel32/version.dll under
// Wine.
#include "app/context.hpp"
#include "contract/platform_fixture.hpp"
#include "install/shell_and_wait.hpp"
#include "state/file_versions.hpp"

#include <gtest/gtest.h>

namespace om::test {
namespace {

struct SystemContract : ::testing::Test {
    std::unique_ptr<PlatformFixture> fixture = make_platform_fixture();
    platform::FileSystem& files = fixture->services().files;
    const std::string dir = fixture->folder;
    Context context{fixture->services()};

    void put(const std::string& name, const std::string& text)
    {
        std::ofstream(fixture->root + "/" + name, std::ios::binary) << text;
    }
};

TEST_F(SystemContract, FoldersAndRenames)
{
    // Copies, renames to a new name and deletes are run by the start-up hand-over, the downloads and the
    // check-in of the whole-program tests.
    put("a.txt", "first");
    put("b.txt", "second");
    ASSERT_TRUE(files.create_folder(dir + "om_msi"));
    EXPECT_FALSE(files.create_folder(dir + "om_msi"));
    for (const auto& [path, file, folder] : {std::tuple{dir + "a.txt", true, false},
                                             {dir + "missing.txt", false, false},
                                             {dir + "om_msi", false, true},
                                             {dir + "om_msi\\", false, true}}) {
        EXPECT_EQ(files.file_exists(path), file) << path;
        EXPECT_EQ(files.folder_exists(path), folder) << path;
    }
    EXPECT_FALSE(files.rename_file(dir + "a.txt", dir + "b.txt")); // an existing target stays
    EXPECT_EQ(files.read_small_file(dir + "b.txt", 64), "second");
}

TEST_F(SystemContract, NoVersionTextAndNoStartWithoutAProgram)
{
    // The versions of real programs are read into "fileversions", and real programs are started and
    // waited for (installers, packages), by update.sh. A missing file is found missing before its
    // version is asked for.
    put("notes.exe", "MZ but nothing more");
    for (const auto& path : {fixture->program("no_version.exe"), dir + "notes.exe"})
        EXPECT_EQ(GetFileVersionData(context, path), "") << path;
    for (const std::string& line :
         {std::string("om_no_such_program_here.exe /x"), "\"" + dir + "none.exe\"", "\"" + dir + "notes.exe\""})
        EXPECT_THROW(ShellAndWait(context, line, 6), platform::StartFailed) << line;
}

} // namespace
} // namespace om::test
