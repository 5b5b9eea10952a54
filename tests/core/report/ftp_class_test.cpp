#include "report/ftp_class.hpp"
#include "report/ftp_date.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace om {
namespace {

using platform::FileTime;
using Strings = std::vector<std::string>;

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
    constexpr auto folder = platform::file_attribute_directory;
    server.listing = {{"check", folder},        {"huge.iso", 0, {0, 0x80000000u}, 5ULL << 30},
                      {"locked.txt", 1, {}, 1}, {"report.txt", 0, march_fifth, 5},
                      {"check/inner.txt"},      {"ups", folder}};
    open();
    EXPECT_EQ(ftp.Site(), "10.0.0.5");
    EXPECT_EQ(server.log, (Strings{"open FTP Client 1 0", "option 2 3000", "connect 10.0.0.5 21 kelvane pw 1 0",
                                   "find *", "close 3"})); // the listing search is closed once walked
    // Name, size (at most the largest 32-bit number), date (0 without one) and read-only flag.
    using Row = std::tuple<std::string, std::int32_t, double, bool>;
    std::vector<Row> rows;
    for (std::size_t i = 1; i <= ftp.Files().count(); ++i) {
        const FTPFileClass& file = ftp.Files().item(i);
        rows.emplace_back(file.FileName, file.FileSize, file.ModifyDate, file.ReadOnly);
    }
    EXPECT_EQ(rows, (std::vector<Row>{{"huge.iso", 2147483647, 0.0, false},
                                      {"locked.txt", 1, -109205.0, true},
                                      {"report.txt", 5, march_fifth_date, false}}));
    EXPECT_TRUE(ftp.Folders().count() == 2 && ftp.Folders().contains("CHECK"));
    EXPECT_THROW(ftp.Files().item(0), StepFailed);
    EXPECT_THROW(ftp.Files().item(4), StepFailed);

    // A name twice, case ignored, ends the listing with an error; the next listing first closes the
    // broken-off search, and a file and a folder of one name go apart.
    server.listing = {{"Report.txt"}, {"report.TXT"}};
    EXPECT_THROW(ftp.Refresh(), StepFailed);
    EXPECT_EQ(ftp.Files().count(), 1u);
    server.listing[1].attributes = folder;
    ftp.Refresh();
    EXPECT_EQ(ftp.Files().count() + ftp.Folders().count(), 2u);

    server.log.clear();
    open(true); // closes the old connection first
    EXPECT_EQ(Strings(server.log.begin(), server.log.begin() + 5),
              (Strings{"close 2", "close 1", "open FTP Client 1 0", "option 2 3000",
                       "connect 10.0.0.5 21 kelvane pw 1 134217728"}));
    ftp.CloseFTP();
    EXPECT_EQ(server.open.size(), 0u);
    EXPECT_EQ(ftp.hFTP, 0u);
    EXPECT_TRUE(window.entries("box").empty());
}

TEST_F(FtpClassTest, FailedOpenLeavesTheObjectClosedAndSilentlyRefusesEverything)
{
    files.files["C:\\a.txt"] = {'a'};
    server.listing = {{"x"}};
    for (const std::string failing : {"open", "connect", "closed again"}) {
        SCOPED_TRACE(failing);
        server.failing = {failing};
        window.log.clear();
        EXPECT_EQ(ftp.OpenFTP("10.0.0.5", "kelvane", "pw"), failing == "closed again");
        ftp.CloseFTP();
        EXPECT_EQ(ftp.hFTP, 0u);
        EXPECT_EQ(server.open.size(), 0u);
        EXPECT_EQ(ftp.Files().count(), failing == "closed again" ? 1u : 0u); // the listing stays as it was
        const Strings box{"box Internet connection timed out"};
        EXPECT_EQ(window.entries("box"), failing == "connect" ? box : Strings{});
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

TEST_F(FtpClassTest, FileAndFolderOperations)
{
    server.listing = {{"data.bin", 0, march_fifth}, {"old.txt"}, {"check", platform::file_attribute_directory}};
    files.files["C:\\new.txt"] = {'n'};
    files.files["C:\\data.bin"] = {'l'};
    open();
    server.log.clear();
    // Uploads replace a remote file only when asked, after deleting it.
    EXPECT_FALSE(ftp.PutFile("C:\\new.txt", "OLD.txt"));
    EXPECT_EQ(server.log, (Strings{"find OLD.txt", "close 4"}));
    EXPECT_TRUE(ftp.PutFile("C:\\new.txt", "old.txt", true));
    EXPECT_EQ(Strings(server.log.end() - 2, server.log.end()),
              (Strings{"delete old.txt", "put C:\\new.txt old.txt 2"}));
    server.failing = {"delete"};
    EXPECT_FALSE(ftp.PutFile("C:\\new.txt", "old.txt", true));
    EXPECT_EQ(server.log.back(), "delete old.txt");
    EXPECT_TRUE(ftp.PutFile("C:\\new.txt", "fresh.txt"));
    // Downloads replace a local file only when asked, and take the listed time.
    EXPECT_FALSE(ftp.GetFile("data.bin", "C:\\data.bin"));
    EXPECT_EQ(files.files["C:\\data.bin"], std::vector<std::uint8_t>{'l'});
    EXPECT_TRUE(ftp.GetFile("data.bin", "C:\\data.bin", true));
    EXPECT_EQ(files.files["C:\\data.bin"], std::vector<std::uint8_t>{'r'});
    EXPECT_EQ(
        Strings(server.log.end() - 2, server.log.end()),
        (Strings{"get data.bin C:\\data.bin 0 32 0", "times C:\\data.bin " + std::to_string(march_fifth.ticks())}));
    EXPECT_FALSE(ftp.GetFile("absent.bin", "C:\\new.bin"));
    server.failing = {"get"};
    EXPECT_FALSE(ftp.GetFile("data.bin", "C:\\other.bin"));
    EXPECT_EQ(server.log.back(), "get data.bin C:\\other.bin 0 32 0");
    // Folders and names.
    EXPECT_TRUE(ftp.FolderExists("check") && ftp.FileExists("check") && ftp.FileExists("OLD.TXT"));
    EXPECT_FALSE(ftp.FolderExists("old.txt") || ftp.FolderExists("c.txt") || ftp.FileExists("c.txt"));
    EXPECT_EQ(ftp.CurrentFolder(), "/");
    server.listing.pop_back(); // a changed folder shows after a change of folder, not before
    server.failing = {"cd"};
    EXPECT_FALSE(ftp.SetCurrentFolder("check"));
    EXPECT_TRUE(ftp.Folders().contains("check"));
    server.failing = {"pwd"};
    EXPECT_TRUE(ftp.SetCurrentFolder("check"));
    EXPECT_FALSE(ftp.Folders().contains("check"));
    EXPECT_EQ(ftp.CurrentFolder(), "");
    server.failing = {};
    EXPECT_EQ(ftp.CurrentFolder(), "/check");
    // The other calls answer as the server does.
    const std::pair<std::string, std::function<bool()>> calls[] = {
        {"mkdir sub", [&] { return ftp.CreatFolder("sub"); }},
        {"rmdir sub", [&] { return ftp.DeleteFolder("sub"); }},
        {"delete z.txt", [&] { return ftp.DeleteFile("z.txt"); }},
        {"rename a b", [&] { return ftp.RenameFile("a", "b"); }}};
    for (const auto& [entry, run] : calls)
        for (const bool fails : {false, true}) {
            server.failing = {fails ? entry.substr(0, entry.find(' ')) : ""};
            EXPECT_EQ(run(), !fails) << entry;
            EXPECT_EQ(server.log.back(), entry);
        }
    ftp.CloseFTP();
    EXPECT_EQ(server.open.size(), 0u);
}

} // namespace
} // namespace om
