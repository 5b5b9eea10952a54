#include "report/ftp_class.hpp"
#include "report/ftp_date.hpp"
#include "support/fake_ftp.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

using platform::FileTime;

// 2024-03-05 10:20:30 as a file time, computed from the day count 1601-01-01 .. 2024-03-05 (154561).
const FileTime march_fifth = FileTime::from_ticks((154561ULL * 86400 + 10 * 3600 + 20 * 60 + 30) * 10'000'000);

struct FtpClassTest : ::testing::Test {
    test::FakeFiles files;
    test::FakeFtp server{files};
    test::ScriptedWindow window;
    FTPClass ftp{server, window};

    void open() { ASSERT_TRUE(ftp.OpenFTP("10.0.0.5", "kelvane", "7rKp#Lwe=T%d")); }
};

TEST(FtpDate, ConvertsFileTimesToDayCountsWithoutZoneChange)
{
    EXPECT_EQ(*date_of_file_time(FileTime::from_ticks(109205ULL * 86400 * 10'000'000)), 0.0); // 1899-12-30
    // 2000-01-01 is day 36526; 18:00 is three quarters of a day; fractions of a second are dropped.
    const std::uint64_t y2k = 145731ULL * 86400;
    EXPECT_DOUBLE_EQ(*date_of_file_time(FileTime::from_ticks((y2k + 18 * 3600) * 10'000'000 + 9'999'999)), 36526.75);
    EXPECT_DOUBLE_EQ(*date_of_file_time(march_fifth), 45356.0 + (10 * 3600 + 20 * 60 + 30) / 86400.0);
    // Before 30 December 1899 the day count is negative and the time still counts away from zero.
    EXPECT_DOUBLE_EQ(*date_of_file_time(FileTime::from_ticks((109204ULL * 86400 + 6 * 3600) * 10'000'000)), -1.25);
    EXPECT_DOUBLE_EQ(*date_of_file_time(FileTime{0, 0}), -109205.0); // 1601-01-01
    // The last second of 9999 converts; the year 10000 and file times with the top bit set do not.
    EXPECT_TRUE(date_of_file_time(FileTime::from_ticks((3067671ULL * 86400 - 1) * 10'000'000)));
    EXPECT_FALSE(date_of_file_time(FileTime::from_ticks(3067671ULL * 86400 * 10'000'000)));
    EXPECT_FALSE(date_of_file_time(FileTime{0, 0x80000000u}));
}

TEST_F(FtpClassTest, ClosedObjectAnswersFalseWithoutTraffic)
{
    files.files["C:\\a.txt"] = {'a'};
    EXPECT_EQ(ftp.CurrentFolder(), "");
    EXPECT_FALSE(ftp.SetCurrentFolder("x"));
    EXPECT_FALSE(ftp.CreatFolder("x"));
    EXPECT_FALSE(ftp.DeleteFolder("x"));
    EXPECT_FALSE(ftp.FolderExists("x"));
    EXPECT_FALSE(ftp.FileExists("x"));
    EXPECT_FALSE(ftp.GetFile("x", "C:\\b.txt", true));
    EXPECT_FALSE(ftp.PutFile("C:\\a.txt", "x", true));
    EXPECT_FALSE(ftp.DeleteFile("x"));
    EXPECT_FALSE(ftp.RenameFile("x", "y"));
    ftp.Refresh();
    ftp.CloseFTP();
    EXPECT_TRUE(server.log.empty());
    EXPECT_EQ(files.files.size(), 1u);

    // After a session was opened and closed, the same holds.
    server.put_remote_file("x", "remote");
    open();
    ftp.CloseFTP();
    EXPECT_EQ(ftp.hFTP, 0u);
    EXPECT_EQ(server.open_handles(), 0u);
    const std::size_t calls = server.log.size();
    EXPECT_FALSE(ftp.FileExists("x"));
    EXPECT_FALSE(ftp.DeleteFile("x"));
    EXPECT_EQ(ftp.CurrentFolder(), "");
    EXPECT_EQ(server.log.size(), calls);
    EXPECT_EQ(ftp.Files().count(), 1u); // the collections are left as they were
}

TEST_F(FtpClassTest, OpensActiveByDefaultPassiveWhenAskedAndListsFoldersApart)
{
    server.put_remote_file("report.txt", "12345", march_fifth);
    server.remote["locked.txt"] = {{'x'}, false, platform::file_attribute_readonly, {}, 0};
    server.remote["huge.iso"] = {{}, false, 0, {}, 5ULL << 30};
    server.add_remote_folder("check");
    server.add_remote_folder("ups");
    server.put_remote_file("check/inner.txt", "not listed");

    open();
    EXPECT_NE(ftp.hFTP, 0u);
    EXPECT_EQ(ftp.Site(), "10.0.0.5");
    ASSERT_GE(server.log.size(), 4u);
    EXPECT_EQ(server.log[0], "open FTP Client 1 0");
    EXPECT_EQ(server.log[1], "option 2=3000");
    EXPECT_EQ(server.log[2], "connect 10.0.0.5:21 kelvane 7rKp#Lwe=T%d 1 0");
    EXPECT_EQ(server.log[3], "find *");

    EXPECT_EQ(ftp.Files().count(), 3u);
    EXPECT_EQ(ftp.Folders().count(), 2u);
    EXPECT_TRUE(ftp.Folders().contains("CHECK"));
    EXPECT_FALSE(ftp.Files().contains("check"));
    EXPECT_FALSE(ftp.Files().contains("inner.txt"));
    const FTPFileClass report = *ftp.Files().find("report.txt");
    EXPECT_EQ(report.FileSize, 5);
    EXPECT_DOUBLE_EQ(report.ModifyDate, 45356.0 + (10 * 3600 + 20 * 60 + 30) / 86400.0);
    EXPECT_FALSE(report.ReadOnly);
    EXPECT_TRUE(ftp.Files().find("locked.txt")->ReadOnly);
    EXPECT_EQ(ftp.Files().find("huge.iso")->FileSize, 2147483647);
    EXPECT_EQ(server.open_handles(), 2u); // the listing search is closed once walked

    server.log.clear();
    ASSERT_TRUE(ftp.OpenFTP("10.0.0.5", "kelvane", "7rKp#Lwe=T%d", true)); // closes the old one first
    EXPECT_EQ(server.open_handles(), 2u);
    EXPECT_EQ(server.log[0].substr(0, 6), "close ");
    EXPECT_NE(std::find(server.log.begin(), server.log.end(), "connect 10.0.0.5:21 kelvane 7rKp#Lwe=T%d 1 134217728"),
              server.log.end());
    ftp.CloseFTP();
    EXPECT_EQ(server.open_handles(), 0u);
    EXPECT_TRUE(window.entries("box").empty());
}

TEST_F(FtpClassTest, FailedConnectionShowsOneBoxAndLeavesTheObjectClosed)
{
    server.password = "other";
    EXPECT_FALSE(ftp.OpenFTP("10.0.0.5", "kelvane", "7rKp#Lwe=T%d", true));
    EXPECT_EQ(ftp.hFTP, 0u);
    EXPECT_EQ(server.open_handles(), 0u);
    EXPECT_EQ(window.entries("box"), std::vector<std::string>{"box Internet connection timed out"});
    EXPECT_FALSE(ftp.FileExists("x"));
    EXPECT_EQ(server.log.back(), "close 100");
}

TEST_F(FtpClassTest, DuplicateNameIgnoringCaseEndsRefreshWithAnError)
{
    server.put_remote_file("Report.txt", "a");
    server.put_remote_file("report.TXT", "b");
    EXPECT_THROW(ftp.OpenFTP("10.0.0.5", "kelvane", "7rKp#Lwe=T%d"), StepFailed);
    EXPECT_NE(ftp.hFTP, 0u); // connected: the error came from the listing
    EXPECT_EQ(ftp.Files().count(), 1u);
    EXPECT_TRUE(ftp.FileExists("Report.txt"));
    // A file and a folder of the same name go to different collections.
    server.remote.erase("report.TXT");
    server.add_remote_folder("REPORT.txt");
    EXPECT_NO_THROW(ftp.Refresh());
    EXPECT_EQ(ftp.Files().count(), 1u);
    EXPECT_EQ(ftp.Folders().count(), 1u);
    ftp.CloseFTP();
    EXPECT_EQ(server.open_handles(), 0u); // the service dropped the interrupted search with its connection
}

TEST_F(FtpClassTest, PutFileReplacesOnlyWhenAllowed)
{
    files.files["C:\\Ombrix\\new.txt"] = {'n', 'e', 'w'};
    server.put_remote_file("old.txt", "old");
    open();
    server.log.clear();
    EXPECT_FALSE(ftp.PutFile("C:\\Ombrix\\new.txt", "old.txt"));
    EXPECT_EQ(server.remote_text("old.txt"), "old");
    ASSERT_EQ(server.log.size(), 2u); // the search and its closing: nothing deleted, nothing sent
    EXPECT_EQ(server.log[0], "find old.txt");
    EXPECT_EQ(server.log[1].substr(0, 6), "close ");

    EXPECT_TRUE(ftp.PutFile("C:\\Ombrix\\new.txt", "old.txt", true));
    EXPECT_EQ(server.remote_text("old.txt"), "new");
    EXPECT_EQ(server.log[server.log.size() - 2], "delete old.txt");
    EXPECT_EQ(server.log.back(), "put C:\\Ombrix\\new.txt -> old.txt 2");

    EXPECT_TRUE(ftp.PutFile("C:\\Ombrix\\new.txt", "fresh.txt"));
    EXPECT_EQ(server.remote_text("fresh.txt"), "new");
    EXPECT_FALSE(ftp.PutFile("C:\\Ombrix\\missing.txt", "other.txt"));
    EXPECT_EQ(server.remote_text("other.txt"), "<missing>");
    ftp.CloseFTP();
}

TEST_F(FtpClassTest, GetFileKeepsOrReplacesTheLocalFileAndTakesTheListedTime)
{
    server.put_remote_file("data.bin", "remote bytes", march_fifth);
    files.files["C:\\d\\data.bin"] = {'l', 'o', 'c', 'a', 'l'};
    open();
    EXPECT_FALSE(ftp.GetFile("data.bin", "C:\\d\\data.bin"));
    EXPECT_EQ(files.files["C:\\d\\data.bin"], (std::vector<std::uint8_t>{'l', 'o', 'c', 'a', 'l'}));

    EXPECT_TRUE(ftp.GetFile("data.bin", "C:\\d\\data.bin", true));
    EXPECT_EQ(std::string(files.files["C:\\d\\data.bin"].begin(), files.files["C:\\d\\data.bin"].end()),
              "remote bytes");
    EXPECT_EQ(server.local_times["C:\\d\\data.bin"], march_fifth);
    EXPECT_EQ(server.log.back(), "get data.bin -> C:\\d\\data.bin 0 32 0");

    EXPECT_FALSE(ftp.GetFile("absent.bin", "C:\\d\\new.bin"));
    EXPECT_EQ(files.files.count("C:\\d\\new.bin"), 0u);
    EXPECT_EQ(ftp.last_found().attributes, 0u);
    EXPECT_EQ(ftp.last_found().file_name[0], '\0');
    ftp.CloseFTP();
}

TEST_F(FtpClassTest, FolderOperationsAndExistenceTests)
{
    server.add_remote_folder("check");
    server.put_remote_file("check/a.txt", "a", march_fifth);
    server.put_remote_file("b.txt", "b");
    open();
    EXPECT_EQ(ftp.CurrentFolder(), "/");
    server.current_folder_reply_counts_nul = true;
    EXPECT_EQ(ftp.CurrentFolder(), "/");
    server.current_folder_reply_counts_nul = false;
    EXPECT_TRUE(ftp.FolderExists("check"));
    EXPECT_FALSE(ftp.FolderExists("b.txt"));
    EXPECT_TRUE(ftp.FileExists("b.txt"));
    EXPECT_TRUE(ftp.FileExists("check")); // a folder counts too
    EXPECT_FALSE(ftp.FileExists("c.txt"));

    EXPECT_TRUE(ftp.SetCurrentFolder("check"));
    EXPECT_EQ(ftp.CurrentFolder(), "/check");
    EXPECT_EQ(ftp.Files().count(), 1u);
    EXPECT_TRUE(ftp.Files().contains("a.txt"));
    EXPECT_FALSE(ftp.SetCurrentFolder("nowhere"));
    EXPECT_TRUE(ftp.Files().contains("a.txt"));

    EXPECT_TRUE(ftp.CreatFolder("sub"));
    EXPECT_FALSE(ftp.CreatFolder("sub"));
    EXPECT_FALSE(ftp.Folders().contains("sub")); // no refresh
    EXPECT_TRUE(ftp.RenameFile("a.txt", "z.txt"));
    EXPECT_EQ(server.remote_text("check/z.txt"), "a");
    EXPECT_TRUE(ftp.DeleteFile("z.txt"));
    EXPECT_FALSE(ftp.DeleteFile("z.txt"));
    EXPECT_TRUE(ftp.DeleteFolder("sub"));
    EXPECT_FALSE(ftp.FolderExists("sub"));
    ftp.CloseFTP();
    EXPECT_EQ(server.open_handles(), 0u);
}

} // namespace
} // namespace om
