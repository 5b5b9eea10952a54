#include "report/ftp_class.hpp"
#include "report/ftp_date.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

using platform::FileTime;

// 2024-03-05 10:20:30, from the day count 1601-01-01 .. 2024-03-05 (154561), and its date.
const FileTime march_fifth = FileTime::from_ticks((154561ULL * 86400 + 10 * 3600 + 20 * 60 + 30) * 10'000'000);
const double march_fifth_date = 45356.0 + (10 * 3600 + 20 * 60 + 30) / 86400.0;

struct FtpClassTest : ::testing::Test {
    test::FakeFiles files;
    test::FakeFtp server{&files};
    test::ScriptedWindow window;
    FTPClass ftp{server, window};

    void open(bool passive = false) { ASSERT_TRUE(ftp.OpenFTP("10.0.0.5", "kelvane", "pw", passive)); }
};

TEST(FtpDate, FileTimesBecomeDayCountsFromTheEndOf1899)
{
    // Days since 1601, seconds of the day, the date. Before 30 December 1899 the day count is
    // negative and the time still counts away from zero; fractions of a second are dropped; years past
    // 9999 and file times with the top bit set do not convert.
    const std::tuple<std::uint64_t, std::uint64_t, std::optional<double>> cases[] = {
        {109205, 0, 0.0},
        {145731, 18 * 3600, 36526.75},
        {154561, 37230, march_fifth_date},
        {109204, 6 * 3600, -1.25},
        {0, 0, -109205.0},
        {3067670, 86399, 2958465 + 86399 / 86400.0},
        {3067671, 0, std::nullopt}};
    for (const auto& [days, seconds, date] : cases) {
        const auto got = date_of_file_time(FileTime::from_ticks((days * 86400 + seconds) * 10'000'000 + 9'999'999));
        EXPECT_EQ(got, date) << days;
    }
    EXPECT_FALSE(date_of_file_time(FileTime{0, 0x80000000u}));
}

TEST_F(FtpClassTest, OpensListsFoldersApartAndClosesEveryHandle)
{
    server.remote = {{"report.txt", {"12345", 0, march_fifth}},
                     {"locked.txt", {"x", platform::file_attribute_readonly}},
                     {"huge.iso", {"", 0, {0, 0x80000000u}, 5ULL << 30}},
                     {"check/inner.txt", {"not listed"}}};
    server.folder("check");
    server.folder("ups");
    open();
    EXPECT_EQ(ftp.Site(), "10.0.0.5");
    EXPECT_EQ(server.log, (std::vector<std::string>{"open FTP Client 1 0", "option 2=3000",
                                                    "connect 10.0.0.5:21 kelvane pw 1 0", "find *", "close 3"}));
    EXPECT_EQ(ftp.Files().count(), 3u);
    EXPECT_EQ(ftp.Folders().count(), 2u);
    EXPECT_TRUE(ftp.Folders().contains("CHECK") && !ftp.Files().contains("check"));
    const FTPFileClass report = ftp.Files().item(3);
    EXPECT_EQ(report.FileName, "report.txt");
    EXPECT_EQ(report.FileSize, 5);
    EXPECT_DOUBLE_EQ(report.ModifyDate, march_fifth_date);
    EXPECT_FALSE(report.ReadOnly);
    EXPECT_TRUE(ftp.Files().find("locked.txt")->ReadOnly);
    EXPECT_EQ(ftp.Files().find("huge.iso")->FileSize, 2147483647);
    EXPECT_EQ(ftp.Files().find("huge.iso")->ModifyDate, 0.0); // no date: 0
    EXPECT_THROW(ftp.Files().item(0), StepFailed);
    EXPECT_THROW(ftp.Files().item(4), StepFailed);
    EXPECT_EQ(server.open.size(), 2u); // the listing search is closed once walked

    server.log.clear();
    open(true); // closes the old connection first
    EXPECT_EQ(server.log[0], "close 2");
    EXPECT_EQ(server.log[1], "close 1");
    EXPECT_EQ(server.log[4], "connect 10.0.0.5:21 kelvane pw 1 134217728");
    ftp.CloseFTP();
    EXPECT_EQ(server.open.size(), 0u);
    EXPECT_EQ(ftp.hFTP, 0u);
    EXPECT_TRUE(window.entries("box").empty());
}

TEST_F(FtpClassTest, FailedOpenLeavesTheObjectClosedAndSilentlyRefusesEverything)
{
    files.files["C:\\a.txt"] = {'a'};
    server.remote["x"] = {"remote"};
    for (const std::string failing : {"open", "connect", "closed again"}) {
        SCOPED_TRACE(failing);
        server.failing = {failing};
        window.log.clear();
        EXPECT_EQ(ftp.OpenFTP("10.0.0.5", "kelvane", "pw"), failing == "closed again");
        ftp.CloseFTP();
        EXPECT_EQ(ftp.hFTP, 0u);
        EXPECT_EQ(server.open.size(), 0u);
        EXPECT_EQ(ftp.Files().count(), failing == "closed again" ? 1u : 0u); // the listing stays as it was
        const std::vector<std::string> box{"box Internet connection timed out"};
        EXPECT_EQ(window.entries("box"), failing == "connect" ? box : std::vector<std::string>{});
        server.log.clear();
        EXPECT_EQ(ftp.CurrentFolder(), "");
        EXPECT_FALSE(ftp.SetCurrentFolder("x") || ftp.CreatFolder("y") || ftp.DeleteFolder("x") ||
                     ftp.FolderExists("x") || ftp.FileExists("x") || ftp.GetFile("x", "C:\\b.txt", true) ||
                     ftp.PutFile("C:\\a.txt", "z", true) || ftp.DeleteFile("x") || ftp.RenameFile("x", "y"));
        ftp.Refresh();
        EXPECT_TRUE(server.log.empty());
        EXPECT_EQ(files.files.size(), 1u);
    }
}

TEST_F(FtpClassTest, DuplicateNameIgnoringCaseEndsTheListingWithAnError)
{
    server.remote = {{"Report.txt", {"a"}}, {"report.TXT", {"b"}}};
    EXPECT_THROW(ftp.OpenFTP("10.0.0.5", "kelvane", "pw"), StepFailed);
    EXPECT_NE(ftp.hFTP, 0u); // connected: the error came from the listing
    EXPECT_EQ(ftp.Files().count(), 1u);
    // The next listing first closes the broken-off search; a file and a folder of one name go apart.
    server.remote.erase("report.TXT");
    server.folder("REPORT.txt");
    ftp.Refresh();
    EXPECT_EQ(ftp.Files().count(), 1u);
    EXPECT_EQ(ftp.Folders().count(), 1u);
    ftp.CloseFTP();
    EXPECT_EQ(server.open.size(), 0u);
}

TEST_F(FtpClassTest, FileAndFolderOperations)
{
    server.remote = {{"data.bin", {"remote bytes", 0, march_fifth}}, {"old.txt", {"old"}}, {"b.txt", {"b"}}};
    server.folder("check");
    files.files["C:\\new.txt"] = {'n', 'e', 'w'};
    files.files["C:\\data.bin"] = {'l'};
    open();
    server.log.clear();
    // Uploads replace a remote file only when asked, after deleting it.
    EXPECT_FALSE(ftp.PutFile("C:\\new.txt", "old.txt"));
    EXPECT_EQ(server.log, (std::vector<std::string>{"find old.txt", "close 4"}));
    EXPECT_TRUE(ftp.PutFile("C:\\new.txt", "old.txt", true));
    EXPECT_EQ(server.text("old.txt"), "new");
    EXPECT_EQ(std::vector(server.log.end() - 2, server.log.end()),
              (std::vector<std::string>{"delete old.txt", "put C:\\new.txt -> old.txt 2"}));
    EXPECT_TRUE(ftp.PutFile("C:\\new.txt", "fresh.txt"));
    EXPECT_FALSE(ftp.PutFile("C:\\missing.txt", "other.txt"));
    EXPECT_EQ(server.text("fresh.txt") + server.text("other.txt"), "new<missing>");
    // Downloads replace a local file only when asked, and take the listed time.
    EXPECT_FALSE(ftp.GetFile("data.bin", "C:\\data.bin"));
    EXPECT_EQ(files.files["C:\\data.bin"], std::vector<std::uint8_t>{'l'});
    EXPECT_TRUE(ftp.GetFile("data.bin", "C:\\data.bin", true));
    EXPECT_EQ(files.files["C:\\data.bin"].size(), 12u);
    EXPECT_EQ(server.local_times["C:\\data.bin"], march_fifth);
    EXPECT_EQ(server.log.back(), "get data.bin -> C:\\data.bin 0 32 0");
    EXPECT_FALSE(ftp.GetFile("absent.bin", "C:\\new.bin"));
    EXPECT_EQ(files.files.count("C:\\new.bin"), 0u);
    EXPECT_EQ(ftp.last_found().file_name[0], '\0');
    server.failing = {"get"};
    EXPECT_FALSE(ftp.GetFile("data.bin", "C:\\other.bin"));
    EXPECT_EQ(server.local_times.count("C:\\other.bin"), 0u);
    server.failing = {};
    // Folders and names.
    EXPECT_TRUE(ftp.FolderExists("check") && ftp.FileExists("check") && ftp.FileExists("B.TXT"));
    EXPECT_FALSE(ftp.FolderExists("b.txt") || ftp.FolderExists("c.txt") || ftp.FileExists("c.txt"));
    EXPECT_EQ(ftp.CurrentFolder(), "/");
    server.pwd_counts_nul = true;
    EXPECT_EQ(ftp.CurrentFolder(), "/");
    server.remote.erase("b.txt"); // a changed folder shows after a change of folder, not before
    EXPECT_TRUE(ftp.Files().contains("b.txt"));
    EXPECT_FALSE(ftp.SetCurrentFolder("nowhere"));
    EXPECT_TRUE(ftp.Files().contains("b.txt"));
    EXPECT_TRUE(ftp.SetCurrentFolder("check"));
    EXPECT_FALSE(ftp.Files().contains("b.txt"));
    EXPECT_EQ(ftp.CurrentFolder(), "/check");
    server.failing = {"pwd"};
    EXPECT_EQ(ftp.CurrentFolder(), "");
    EXPECT_TRUE(ftp.CreatFolder("sub"));
    EXPECT_FALSE(ftp.CreatFolder("sub"));
    EXPECT_FALSE(ftp.Folders().contains("sub")); // no new listing
    EXPECT_TRUE(ftp.RenameFile("fresh.txt", "z.txt"));
    EXPECT_EQ(server.text("z.txt"), "new");
    EXPECT_TRUE(ftp.DeleteFile("z.txt"));
    EXPECT_FALSE(ftp.DeleteFile("z.txt") || ftp.RenameFile("z.txt", "y.txt"));
    EXPECT_TRUE(ftp.DeleteFolder("sub"));
    EXPECT_FALSE(ftp.DeleteFolder("sub"));
    ftp.CloseFTP();
    EXPECT_EQ(server.open.size(), 0u);
}

} // namespace
} // namespace om
