// The file system and clock services on Wine's kernel32.
#include "platform/win32/clock.hpp"
#include "platform/win32/file_writer.hpp"
#include "wine_test_support.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <ctime>
#include <numeric>

namespace om::test {
namespace {

using platform::win32::Win32FileSystem;
using platform::win32::Win32FileWriter;

bool write_text(platform::FileWriter& writer, const std::string& text)
{
    return writer.write(std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

TEST(WineFileSystem, ExistsListsOnlyVisibleFiles)
{
    wine::ScratchFolder scratch;
    const std::string dir = scratch.path();
    Win32FileSystem files;
    wine::write_file(dir + "plain.txt", "x");
    wine::write_file(dir + "hidden.txt", "x");
    wine::add_attributes(dir + "hidden.txt", FILE_ATTRIBUTE_HIDDEN);
    wine::write_file(dir + "system.txt", "x");
    wine::add_attributes(dir + "system.txt", FILE_ATTRIBUTE_SYSTEM);
    wine::write_file(dir + "readonly.txt", "x");
    wine::add_attributes(dir + "readonly.txt", FILE_ATTRIBUTE_READONLY);
    ASSERT_TRUE(files.create_folder(dir + "om_msi"));
    EXPECT_FALSE(files.create_folder(dir + "om_msi"));

    EXPECT_TRUE(files.file_exists(dir + "plain.txt"));
    EXPECT_TRUE(files.file_exists(dir + "readonly.txt"));
    EXPECT_FALSE(files.file_exists(dir + "hidden.txt"));
    EXPECT_FALSE(files.file_exists(dir + "system.txt"));
    EXPECT_FALSE(files.file_exists(dir + "om_msi"));
    EXPECT_FALSE(files.file_exists(dir + "missing.txt"));
    EXPECT_FALSE(files.file_exists(dir + "*.txt"));
    EXPECT_FALSE(files.file_exists(dir + "plain.tx?"));
    EXPECT_FALSE(files.file_exists(""));

    EXPECT_TRUE(files.folder_exists(dir + "om_msi"));
    EXPECT_TRUE(files.folder_exists(dir + "om_msi\\"));
    EXPECT_FALSE(files.folder_exists(dir + "plain.txt"));
    EXPECT_FALSE(files.folder_exists(dir + "nothing"));

    // Another spelling of one file is the same file; another file with the same bytes is not.
    EXPECT_TRUE(files.same_file(dir + "plain.txt", dir + "om_msi\\..\\PLAIN.TXT"));
    EXPECT_FALSE(files.same_file(dir + "plain.txt", dir + "readonly.txt"));
    EXPECT_FALSE(files.same_file(dir + "plain.txt", dir + "missing.txt"));
}

TEST(WineFileSystem, CopyReplacesRenameRefusesAnExistingTargetDeleteRemoves)
{
    wine::ScratchFolder scratch;
    const std::string dir = scratch.path();
    Win32FileSystem files;
    wine::write_file(dir + "a.txt", "first");
    wine::write_file(dir + "b.txt", "second");

    EXPECT_TRUE(files.copy_file(dir + "a.txt", dir + "b.txt"));
    EXPECT_EQ(wine::read_file(dir + "b.txt"), "first");
    EXPECT_FALSE(files.copy_file(dir + "missing.txt", dir + "c.txt"));
    EXPECT_FALSE(files.file_exists(dir + "c.txt"));

    wine::write_file(dir + "b.txt", "second");
    EXPECT_FALSE(files.rename_file(dir + "a.txt", dir + "b.txt"));
    EXPECT_EQ(wine::read_file(dir + "a.txt"), "first");
    EXPECT_EQ(wine::read_file(dir + "b.txt"), "second");
    EXPECT_TRUE(files.rename_file(dir + "a.txt", dir + "c.txt"));
    EXPECT_FALSE(files.file_exists(dir + "a.txt"));
    EXPECT_EQ(wine::read_file(dir + "c.txt"), "first");

    EXPECT_TRUE(files.delete_file(dir + "c.txt"));
    EXPECT_FALSE(files.file_exists(dir + "c.txt"));
    EXPECT_FALSE(files.delete_file(dir + "c.txt"));
}

TEST(WineFileSystem, CurrentFolderChangesDriveToo)
{
    wine::ScratchFolder scratch;
    Win32FileSystem files;
    ASSERT_TRUE(files.set_current_folder("Z:\\tmp"));
    EXPECT_EQ(files.current_folder(), "Z:\\tmp");
    ASSERT_TRUE(files.set_current_folder(scratch.path()));
    std::string expected = scratch.path();
    expected.pop_back(); // the folder is reported without its final "\"
    EXPECT_EQ(files.current_folder(), expected);
    EXPECT_EQ(files.current_folder().substr(0, 2), "C:");
    // A relative name now means a file in that folder.
    wine::write_file(scratch.path() + "here.txt", "x");
    EXPECT_TRUE(files.file_exists("here.txt"));
    EXPECT_FALSE(files.set_current_folder(scratch.path() + "nothing"));
    EXPECT_FALSE(files.set_current_folder(""));
    EXPECT_EQ(files.current_folder(), expected);
}

TEST(WineFileSystem, WriterPutsTheFileInPlaceOnlyOnCommit)
{
    wine::ScratchFolder scratch;
    const std::string dir = scratch.path();
    const std::string target = dir + "package.exe";
    const std::string temporary = target + Win32FileWriter::temporary_suffix;
    Win32FileSystem files;
    wine::write_file(target, "old package");

    // Bytes in chunks of many sizes, more than two buffers in all, some larger than the buffer.
    std::vector<std::uint8_t> expected;
    {
        auto writer = files.begin_write(target);
        ASSERT_NE(writer, nullptr);
        std::size_t chunk = 1;
        while (expected.size() < 3 * Win32FileWriter::buffer_size) {
            std::vector<std::uint8_t> bytes(chunk);
            std::iota(bytes.begin(), bytes.end(), static_cast<std::uint8_t>(expected.size() * 7));
            ASSERT_TRUE(writer->write(bytes));
            expected.insert(expected.end(), bytes.begin(), bytes.end());
            chunk = chunk < Win32FileWriter::buffer_size ? chunk * 3 + 1 : 5;
        }
        EXPECT_EQ(wine::read_file(target), "old package");
        EXPECT_NE(GetFileAttributesA(temporary.c_str()), INVALID_FILE_ATTRIBUTES);
        ASSERT_TRUE(writer->commit());
        EXPECT_FALSE(writer->commit());
        EXPECT_FALSE(write_text(*writer, "late"));
    }
    EXPECT_EQ(wine::read_file(target), std::string(expected.begin(), expected.end()));
    EXPECT_EQ(GetFileAttributesA(temporary.c_str()), INVALID_FILE_ATTRIBUTES);

    // An abandoned writer leaves the target as it was and removes its temporary file.
    {
        auto writer = files.begin_write(target);
        ASSERT_NE(writer, nullptr);
        ASSERT_TRUE(write_text(*writer, std::string(2 * Win32FileWriter::buffer_size, 'z')));
    }
    EXPECT_EQ(wine::read_file(target), std::string(expected.begin(), expected.end()));
    EXPECT_EQ(GetFileAttributesA(temporary.c_str()), INVALID_FILE_ATTRIBUTES);

    // A new file; an empty one is a file too.
    {
        auto writer = files.begin_write(dir + "support_installed.txt");
        ASSERT_NE(writer, nullptr);
        ASSERT_TRUE(writer->commit());
    }
    EXPECT_EQ(wine::read_file(dir + "support_installed.txt"), "");

    // A commit that cannot put the file in place says so and leaves nothing behind.
    ASSERT_TRUE(files.create_folder(dir + "om_msi"));
    {
        auto writer = files.begin_write(dir + "om_msi");
        ASSERT_NE(writer, nullptr);
        ASSERT_TRUE(write_text(*writer, "package"));
        EXPECT_FALSE(writer->commit());
        EXPECT_FALSE(write_text(*writer, "more"));
    }
    EXPECT_TRUE(files.folder_exists(dir + "om_msi"));
    EXPECT_EQ(GetFileAttributesA((dir + "om_msi" + Win32FileWriter::temporary_suffix).c_str()),
              INVALID_FILE_ATTRIBUTES);

    // No writer into a folder that does not exist.
    EXPECT_EQ(files.begin_write(dir + "missing\\x.msi"), nullptr);
}

TEST(WineClock, WallTimeAgreesWithTheRuntimeAndTicksGoForward)
{
    platform::win32::Win32Clock clock;
    const std::time_t before = std::time(nullptr);
    const platform::WallTime now = clock.local_now();
    const std::time_t after = std::time(nullptr);
    std::tm wall{};
    wall.tm_year = now.year - 1900;
    wall.tm_mon = now.month - 1;
    wall.tm_mday = now.day;
    wall.tm_hour = now.hour;
    wall.tm_min = now.minute;
    wall.tm_sec = now.second;
    wall.tm_isdst = -1;
    const std::time_t as_time = std::mktime(&wall);
    EXPECT_GE(as_time, before - 1);
    EXPECT_LE(as_time, after + 1);

    // The tick count moves in steps of up to ~16 ms (on Windows and under Wine alike): compare it with
    // the performance counter within that step.
    LARGE_INTEGER frequency{}, counter_start{}, counter_end{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter_start);
    const std::int64_t start = clock.monotonic_ms();
    Sleep(200);
    const std::int64_t later = clock.monotonic_ms();
    QueryPerformanceCounter(&counter_end);
    const std::int64_t counted_ms = (counter_end.QuadPart - counter_start.QuadPart) * 1000 / frequency.QuadPart;
    EXPECT_GE(later - start, 200 - 20);
    EXPECT_LE(later - start, counted_ms + 20);
}

} // namespace
} // namespace om::test
