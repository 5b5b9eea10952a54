// The posix file system under the updater's "\"-separated paths: existence, copies that keep programs
// runnable, renames that refuse an existing target, and writers that only ever show a whole file.
#include "platform/posix/file_system.hpp"
#include "posix/foundation/temp_folder.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/stat.h>

namespace om {
namespace {

namespace fs = std::filesystem;

std::string contents(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::span<const std::uint8_t> bytes(const std::string& text)
{
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

bool executable(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && (info.st_mode & S_IXUSR);
}

struct FileSystemTest : ::testing::Test {
    test::TempFolder folder;
    platform::posix::PosixFileSystem files;
    std::string root = folder.path() + "\\"; // as the session writes install_dir

    std::size_t entries() { return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder.path()), {})); }
};

TEST_F(FileSystemTest, ExistenceFoldersAndDeletion)
{
    std::ofstream(folder.file("a.txt")) << "x";
    EXPECT_TRUE(files.file_exists(root + "a.txt"));
    EXPECT_FALSE(files.file_exists(root + "b.txt"));
    EXPECT_FALSE(files.file_exists(""));
    EXPECT_TRUE(files.create_folder(root + "om_msi"));
    EXPECT_FALSE(files.create_folder(root + "om_msi")); // already there
    EXPECT_FALSE(files.file_exists(root + "om_msi"));   // a folder is not a file
    EXPECT_TRUE(files.folder_exists(root + "om_msi"));
    EXPECT_FALSE(files.folder_exists(root + "a.txt"));
    EXPECT_TRUE(files.delete_file(root + "a.txt"));
    EXPECT_FALSE(files.delete_file(root + "a.txt"));
    EXPECT_FALSE(files.delete_file(root + "om_msi"));
    EXPECT_TRUE(files.folder_exists(root + "om_msi"));

    const std::string before = files.current_folder();
    EXPECT_TRUE(files.set_current_folder(root + "om_msi\\"));
    EXPECT_EQ(files.current_folder(), fs::canonical(folder.file("om_msi")).string());
    EXPECT_FALSE(files.set_current_folder(root + "missing"));
    EXPECT_TRUE(files.set_current_folder("/"));
    EXPECT_EQ(files.current_folder(), "/");
    EXPECT_TRUE(files.set_current_folder(before));

    // One file reached through a linked folder and a "." is the same file; a copy is not.
    std::ofstream(folder.file("run.exe")) << "x";
    fs::create_directory_symlink(folder.path(), folder.file("link"));
    EXPECT_TRUE(files.same_file(root + "run.exe", root + "link\\.\\run.exe"));
    EXPECT_TRUE(files.copy_file(root + "run.exe", root + "copy.exe"));
    EXPECT_FALSE(files.same_file(root + "run.exe", root + "copy.exe"));
    EXPECT_FALSE(files.same_file(root + "run.exe", root + "missing.exe"));
}

TEST_F(FileSystemTest, CopyReplacesTheTargetAndKeepsProgramsRunnable)
{
    std::ofstream(folder.file("om_updat.exe")) << "program";
    fs::permissions(folder.file("om_updat.exe"), fs::perms::owner_all);
    std::ofstream(folder.file("om_updater_now.exe")) << "an older, longer copy";
    EXPECT_TRUE(files.copy_file(root + "om_updat.exe", root + "om_updater_now.exe"));
    EXPECT_EQ(contents(folder.file("om_updater_now.exe")), "program");
    EXPECT_TRUE(executable(folder.file("om_updater_now.exe")));
    EXPECT_FALSE(files.copy_file(root + "missing.exe", root + "x.exe"));
    EXPECT_FALSE(fs::exists(folder.file("x.exe")));
}

TEST_F(FileSystemTest, RenameRefusesAnExistingTarget)
{
    std::ofstream(folder.file("a")) << "A";
    std::ofstream(folder.file("b")) << "B";
    EXPECT_FALSE(files.rename_file(root + "a", root + "b"));
    EXPECT_EQ(contents(folder.file("a")), "A");
    EXPECT_EQ(contents(folder.file("b")), "B");
    EXPECT_TRUE(files.rename_file(root + "a", root + "c"));
    EXPECT_FALSE(fs::exists(folder.file("a")));
    EXPECT_EQ(contents(folder.file("c")), "A");
    EXPECT_FALSE(files.rename_file(root + "missing", root + "d"));
}

TEST_F(FileSystemTest, WriterShowsOnlyAWholeCommittedFile)
{
    std::ofstream(folder.file("package.exe")) << "old package";
    {
        auto writer = files.begin_write(root + "package.exe");
        ASSERT_TRUE(writer);
        std::string big(3 << 20, 'x'); // larger than the stdio buffer
        EXPECT_TRUE(writer->write(bytes("head:")));
        EXPECT_TRUE(writer->write(bytes(big)));
        // Until the commit the target is the old file, and the new bytes sit in one file beside it.
        EXPECT_EQ(contents(folder.file("package.exe")), "old package");
        EXPECT_EQ(entries(), 2u);
        EXPECT_TRUE(writer->commit());
        EXPECT_FALSE(writer->write(bytes("late")));
        EXPECT_FALSE(writer->commit());
        EXPECT_EQ(contents(folder.file("package.exe")), "head:" + big);
    }
    EXPECT_EQ(entries(), 1u);
    EXPECT_TRUE(executable(folder.file("package.exe")));

    {
        auto writer = files.begin_write(root + "notes.txt");
        ASSERT_TRUE(writer);
        EXPECT_TRUE(writer->write(bytes("abandoned")));
    } // destroyed without commit: no target, no temporary file
    EXPECT_FALSE(fs::exists(folder.file("notes.txt")));
    EXPECT_EQ(entries(), 1u);

    {
        auto writer = files.begin_write(root + "notes.txt");
        ASSERT_TRUE(writer);
        EXPECT_TRUE(writer->commit()); // an empty file is a file
    }
    EXPECT_TRUE(fs::exists(folder.file("notes.txt")));
    EXPECT_EQ(fs::file_size(folder.file("notes.txt")), 0u);
    EXPECT_FALSE(executable(folder.file("notes.txt")));

    EXPECT_EQ(files.begin_write(root + "no folder\\x.bin"), nullptr);
    // A target that is a folder: the commit fails and leaves nothing behind.
    fs::create_directory(folder.file("dir.bin"));
    fs::create_directory(folder.file("dir.bin/inside"));
    {
        auto writer = files.begin_write(root + "dir.bin");
        ASSERT_TRUE(writer);
        EXPECT_TRUE(writer->write(bytes("x")));
        EXPECT_FALSE(writer->commit());
    }
    EXPECT_EQ(entries(), 3u);
}

} // namespace
} // namespace om
