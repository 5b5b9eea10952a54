#include "report/check_in.hpp"
#include "support/captured_log.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

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
        std::string failing, put, log;
    } cases[] = {
        {false, true, "", "check/" + name, server + "connected\n" + upload + "check/" + name + ": stored\n" + deleted},
        {true, true, "", "ups/up_" + name,
         server + "connected\n" + upload + "ups/up_" + name + ": stored\n" + deleted +
             "End: the check-in of an /updated run is done\n"},
        {false, true, "connect", "", server + "failed\n" + deleted},
        {true, false, "connect", "", server + "failed\nCheck-in: " + report + " not there to delete\n"},
        {false, true, "put", "check/" + name, server + "connected\n" + upload + "check/" + name + ": failed\n"},
        {false, false, "", "", server + "connected\n" + upload + "check/" + name + ": failed\n"},
        {false, true, "dup", "check/" + name, server + "failed\n" + upload + "check/" + name + ": stored\n"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing + " " + c.put);
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
        const auto put = std::find_if(ftp.log.begin(), ftp.log.end(), [](auto& e) { return e.starts_with("put"); });
        EXPECT_EQ(put == ftp.log.end() ? "" : *put, c.put.empty() ? "" : "put " + report + " " + c.put + " 2");
        EXPECT_EQ(tp.files.files.count(report), 0u);
        const std::string box = "box Internet connection timed out\r\n\r\nLog: " + log.path();
        EXPECT_EQ(tp.window.entries("box"), c.failing == "connect" ? std::vector{box} : std::vector<std::string>{});
        EXPECT_EQ(ftp.open.size(), c.failing == "dup" ? 1u : 0u); // the service drops a broken-off search itself
    }
}

} // namespace
} // namespace om
