// The check-in report sent over FTP, and the FTP client class and file dates beneath it.
#include "report/check_in.hpp"
#include "report/ftp_class.hpp"
#include "report/ftp_date.hpp"
#include "support/captured_log.hpp"
#include "support/test_platform.hpp"

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
    server.listing = {{"check", folder},
                      {"huge.iso", 0, {0, 0x80000000u}, 5ULL << 30},
                      {"locked.txt", 1, {}, 1},
                      {"report.txt", 0, march_fifth, 5}};
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
    EXPECT_TRUE(ftp.Folders().count() == 1 && ftp.Folders().contains("CHECK"));
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
}

TEST_F(FtpClassTest, FailedOpenLeavesTheObjectClosedAndSilentlyRefusesEverything)
{
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
        EXPECT_EQ(window.entries("box"),
                  failing == "connect" ? Strings{"box Internet connection timed out"} : Strings{});
        server.log.clear();
        EXPECT_EQ(ftp.CurrentFolder(), "");
        EXPECT_FALSE(ftp.SetCurrentFolder("x") || ftp.CreatFolder("y") || ftp.DeleteFolder("x") ||
                     ftp.FolderExists("x") || ftp.FileExists("x") || ftp.GetFile("x", "C:\\b.txt", true) ||
                     ftp.PutFile("C:\\a.txt", "z", true) || ftp.DeleteFile("x") || ftp.RenameFile("x", "y"));
        ftp.Refresh();
        EXPECT_TRUE(server.log.empty());
    }
}

// Each call in turn, with the call that the server fails, its answer and what it asked of the server.
TEST_F(FtpClassTest, FileAndFolderOperations)
{
    server.listing = {{"data.bin", 0, march_fifth}, {"old.txt"}, {"check", platform::file_attribute_directory}};
    files.files["C:\\new.txt"] = {'n'};
    files.files["C:\\data.bin"] = {'l'};
    open();
    const std::string data_time = std::to_string(march_fifth.ticks());
    const struct {
        std::string failing;
        std::function<bool()> call;
        bool answer;
        std::string asked;
    } steps[] = {// Uploads replace a remote file only when asked, after deleting it.
                 {"", [&] { return ftp.PutFile("C:\\new.txt", "old.txt"); }, false, "find old.txt|close 4|"},
                 {"", [&] { return ftp.PutFile("C:\\new.txt", "old.txt", true); }, true,
                  "find old.txt|close 5|delete old.txt|put C:\\new.txt old.txt 2|"},
                 {"delete", [&] { return ftp.PutFile("C:\\new.txt", "old.txt", true); }, false,
                  "find old.txt|close 6|delete old.txt|"},
                 {"", [&] { return ftp.PutFile("C:\\new.txt", "fresh.txt"); }, true,
                  "find fresh.txt|put C:\\new.txt fresh.txt 2|"},
                 // Downloads replace a local file only when asked, and take the listed time.
                 {"", [&] { return ftp.GetFile("data.bin", "C:\\data.bin") || files.content("C:\\data.bin") != "l"; },
                  false, ""},
                 {"", [&] { return ftp.GetFile("data.bin", "C:\\data.bin", true); }, true,
                  "find data.bin|close 7|get data.bin C:\\data.bin 0 32 0|times C:\\data.bin " + data_time + "|"},
                 {"", [&] { return ftp.GetFile("absent.bin", "C:\\new.bin"); }, false, "find absent.bin|"},
                 {"get", [&] { return ftp.GetFile("data.bin", "C:\\other.bin"); }, false,
                  "find data.bin|close 8|get data.bin C:\\other.bin 0 32 0|"},
                 // Folders and names; a change of folder lists the new folder.
                 {"", [&] { return ftp.FolderExists("check") && ftp.FileExists("check"); }, true,
                  "find check|close 9|find check|close 10|"},
                 {"", [&] { return ftp.FolderExists("old.txt") || ftp.FolderExists("c.txt"); }, false,
                  "find old.txt|close 11|find c.txt|"},
                 {"cd", [&] { return ftp.SetCurrentFolder("check"); }, false, "cd check|"},
                 {"", [&] { return ftp.SetCurrentFolder("check"); }, true, "cd check|find *|close 12|"},
                 {"pwd", [&] { return ftp.CurrentFolder() == ""; }, true, "pwd|"},
                 {"", [&] { return ftp.CurrentFolder() == "/check"; }, true, "pwd|"},
                 // The other calls answer as the server does.
                 {"", [&] { return ftp.CreatFolder("sub"); }, true, "mkdir sub|"},
                 {"mkdir", [&] { return ftp.CreatFolder("sub"); }, false, "mkdir sub|"},
                 {"", [&] { return ftp.DeleteFolder("sub"); }, true, "rmdir sub|"},
                 {"rmdir", [&] { return ftp.DeleteFolder("sub"); }, false, "rmdir sub|"},
                 {"", [&] { return ftp.DeleteFile("z.txt"); }, true, "delete z.txt|"},
                 {"delete", [&] { return ftp.DeleteFile("z.txt"); }, false, "delete z.txt|"},
                 {"", [&] { return ftp.RenameFile("a", "b"); }, true, "rename a b|"},
                 {"rename", [&] { return ftp.RenameFile("a", "b"); }, false, "rename a b|"}};
    for (const auto& step : steps) {
        server.log.clear();
        server.failing = {step.failing};
        EXPECT_EQ(step.call(), step.answer) << step.asked;
        std::string asked;
        for (const std::string& entry : server.log)
            asked += entry + "|";
        EXPECT_EQ(asked, step.asked);
    }
    ftp.CloseFTP();
    EXPECT_EQ(server.open.size(), 0u);
}

TEST(CheckInName, RewritesOnlyTheDateAndTimePart)
{
    EXPECT_EQ(check_in_report_name("LAB-PC7", "192.168.1.20", {2026, 12, 4, 14, 5, 9}),
              "LAB-PC7_192.168.1.20_12.04.2026.14.05.09.txt");
    EXPECT_EQ(check_in_report_name("a:b", "10.0.0.1", {987, 1, 2, 0, 0, 0}), "a:b_10.0.0.1_01.02.0987.00.00.00.txt");
}

// Every step is skipped on failure and the next one runs: the report file is deleted whatever happened,
// a failed connection shows one box, and an /updated run ends once its check-in is done.
TEST(CheckIn, UploadsTheReportDeletesItAndEndsOnlyAnUpdatedRun)
{
    const std::string report = "C:\\Ombrix\\current_version.txt", name = "LAB-PC7_192.168.1.20_12.04.2026.14.05.09.txt";
    const std::string server = std::string("Check-in: connect to check-in FTP ") + OM_REPORT_SERVER + " as kelvane: ";
    const std::string upload = "Check-in: upload " + report + " as ", deleted = "Check-in: " + report + " deleted\n";
    struct Case {
        bool updated, report_there;
        std::string failing, log;
    } cases[] = {{false, true, "", server + "connected\n" + upload + "check/" + name + ": stored\n" + deleted},
                 {true, true, "",
                  server + "connected\n" + upload + "ups/up_" + name + ": stored\n" + deleted +
                      "End: the check-in of an /updated run is done\n"},
                 {false, true, "connect", server + "failed\n" + deleted},
                 {true, false, "connect", server + "failed\nCheck-in: " + report + " not there to delete\n"},
                 {false, true, "put", server + "connected\n" + upload + "check/" + name + ": failed\n"},
                 {false, true, "dup", server + "failed\n" + upload + "check/" + name + ": stored\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.log);
        test::TestPlatform tp;
        test::FakeFtp ftp{&tp.files};
        platform::Platform services = (tp.ftp = &ftp, tp.services());
        Context context{services};
        context.session.install_dir = "C:\\Ombrix\\";
        context.session.updated_run = c.updated;
        ftp.failing = {c.failing};
        if (c.failing == "dup") // the start folder's listing fails: the upload still goes ahead
            ftp.listing = {{"a.txt"}, {"A.TXT"}};
        if (c.report_there)
            tp.files.files[report] = {'2'};
        test::CapturedLog log;
        EXPECT_EQ(test::ends_program([&] { send_check_in(context); }), c.updated);
        EXPECT_TRUE(log.text().starts_with(c.log)) << log.text();
        EXPECT_EQ(log.text().find("7rKp#Lwe=T%d"), std::string::npos);
        EXPECT_EQ(ftp.log[2], std::string("connect ") + OM_REPORT_SERVER + " 21 kelvane 7rKp#Lwe=T%d 1 134217728");
        EXPECT_EQ(tp.files.files.count(report), 0u);
        const std::string box = "box Internet connection timed out\r\n\r\nLog: " + log.path();
        EXPECT_EQ(tp.window.entries("box"), c.failing == "connect" ? std::vector{box} : std::vector<std::string>{});
        EXPECT_EQ(ftp.open.size(), c.failing == "dup" ? 1u : 0u); // the service drops a broken-off search itself
    }
}

} // namespace
} // namespace om
