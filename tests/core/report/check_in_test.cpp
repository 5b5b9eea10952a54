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
    const std::string dir = "C:\\Program Files\\Ombrix\\", report = dir + "current_version.txt",
                      name = "LAB-PC7_192.168.1.20_12.04.2026.14.05.09.txt";
    const std::string server = std::string("Check-in: connect to check-in FTP ") + OM_REPORT_SERVER + " as kelvane: ";
    struct Case {
        bool updated, report_there;
        std::string failing, stored_as, log;
    } cases[] = {
        {false, true, "", "check/" + name,
         server + "connected\nCheck-in: upload " + report + " as check/" + name + ": stored\nCheck-in: " + report +
             " deleted\n"},
        {true, true, "", "ups/up_" + name,
         server + "connected\nCheck-in: upload " + report + " as ups/up_" + name + ": stored\nCheck-in: " + report +
             " deleted\nEnd: the check-in of an /updated run is done\n"},
        {false, true, "connect", "", server + "failed\nCheck-in: " + report + " deleted\n"},
        {true, false, "connect", "", server + "failed\nCheck-in: " + report + " not there to delete\n"},
        {false, true, "put", "", server + "connected\nCheck-in: upload " + report + " as check/" + name + ": failed\n"},
        {false, false, "", "", server + "connected\nCheck-in: upload " + report + " as check/" + name + ": failed\n"},
        {false, true, "dup", "check/" + name, server + "failed\nCheck-in: upload " + report + " as check/" + name}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failing + " " + c.stored_as);
        test::TestPlatform tp;
        test::FakeFtp ftp{&tp.files};
        platform::Platform services = (tp.ftp = &ftp, tp.services());
        Context context{services};
        context.session.install_dir = dir;
        context.session.updated_run = c.updated;
        ftp.failing = {c.failing};
        if (c.failing == "dup") // the start folder's listing fails: the upload still goes ahead
            ftp.remote["a.txt"] = ftp.remote["A.TXT"] = {"x"};
        if (c.report_there)
            tp.files.files[report] = {'2', '.', '1', '.', '5'};
        test::CapturedLog log;
        if (c.updated)
            EXPECT_THROW(send_check_in(context), ProgramEnded);
        else
            send_check_in(context);
        EXPECT_TRUE(log.text().starts_with(c.log)) << log.text();
        EXPECT_EQ(log.text().find("7rKp#Lwe=T%d"), std::string::npos);
        EXPECT_EQ(ftp.log[2], std::string("connect ") + OM_REPORT_SERVER + ":21 kelvane 7rKp#Lwe=T%d 1 134217728");
        for (const std::string& remote : {"check/" + name, "ups/up_" + name})
            EXPECT_EQ(ftp.text(remote), remote == c.stored_as ? "2.1.5" : "<missing>");
        EXPECT_EQ(tp.files.files.count(report), 0u);
        const std::string box = "box Internet connection timed out\r\n\r\nLog: " + log.path();
        EXPECT_EQ(tp.window.entries("box"), c.failing == "connect" ? std::vector{box} : std::vector<std::string>{});
        EXPECT_EQ(tp.processes.ended, c.updated ? 1 : 0);
        EXPECT_EQ(ftp.open.size(), c.failing == "dup" ? 1u : 0u); // the service drops a broken-off search itself
    }
}

} // namespace
} // namespace om
