#include "report/check_in.hpp"
#include "support/captured_log.hpp"
#include "support/fake_ftp.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

const std::string install_dir = "C:\\Program Files\\Ombrix\\";
const std::string local_report = install_dir + "current_version.txt";
const std::string remote_name = "LAB-PC7_192.168.1.20_12.04.2026.14.05.09.txt";

struct CheckInTest : ::testing::Test {
    test::TestPlatform tp;
    test::FakeFtp server{tp.files};
    platform::Platform services = (tp.ftp = &server, tp.services());
    Context context{services};

    CheckInTest()
    {
        context.session.install_dir = install_dir;
        server.add_remote_folder("check");
        server.add_remote_folder("ups");
        tp.files.files[local_report] = {'2', '.', '1', '.', '5'};
    }
};

TEST(CheckInName, RewritesOnlyTheDateAndTimePart)
{
    EXPECT_EQ(check_in_report_name("LAB-PC7", "192.168.1.20", {2026, 12, 4, 14, 5, 9}), remote_name);
    EXPECT_EQ(check_in_report_name("a:b", "10.0.0.1", {987, 1, 2, 0, 0, 0}), "a:b_10.0.0.1_01.02.0987.00.00.00.txt");
}

TEST_F(CheckInTest, OrdinaryCheckUploadsToCheckDeletesTheFileAndGoesOn)
{
    test::CapturedLog log;
    send_check_in(context);
    const std::string server_named =
        std::string("Check-in: connect to check-in FTP ") + OM_REPORT_SERVER + " as kelvane";
    EXPECT_TRUE(log.has(server_named + ": connected") &&
                log.has("Check-in: upload " + local_report + " as check/" + remote_name + ": stored"))
        << log.text();
    EXPECT_EQ(log.text().find("7rKp#Lwe=T%d"), std::string::npos);
    EXPECT_EQ(server.remote_text("check/" + remote_name), "2.1.5");
    EXPECT_EQ(tp.files.files.count(local_report), 0u);
    EXPECT_TRUE(tp.window.entries("box").empty());
    EXPECT_EQ(tp.processes.ended, 0);
    EXPECT_EQ(server.open_handles(), 0u);
    EXPECT_EQ(server.log[2], std::string("connect ") + OM_REPORT_SERVER + ":21 kelvane 7rKp#Lwe=T%d 1 134217728");

    // A second check in the same second replaces the first report.
    tp.files.files[local_report] = {'2', '.', '1', '.', '6'};
    send_check_in(context);
    EXPECT_EQ(server.remote_text("check/" + remote_name), "2.1.6");
    EXPECT_EQ(tp.files.files.count(local_report), 0u);
}

TEST_F(CheckInTest, UpdatedRunUploadsToUpsAndEndsAfterDeleting)
{
    context.session.updated_run = true;
    test::CapturedLog log;
    EXPECT_THROW(send_check_in(context), ProgramEnded);
    EXPECT_TRUE(log.has("End: the check-in of an /updated run is done")) << log.text();
    EXPECT_EQ(server.remote_text("ups/up_" + remote_name), "2.1.5");
    EXPECT_EQ(server.remote_text("check/" + remote_name), "<missing>");
    EXPECT_EQ(tp.files.files.count(local_report), 0u);
    EXPECT_EQ(tp.processes.ended, 1);
    EXPECT_EQ(server.open_handles(), 0u);
}

TEST_F(CheckInTest, UnreachableServerShowsOneBoxStillDeletesAndStillEndsAnUpdatedRun)
{
    server.reachable = false;
    test::CapturedLog log;
    send_check_in(context);
    EXPECT_TRUE(log.has(std::string("Check-in: connect to check-in FTP ") + OM_REPORT_SERVER + " as kelvane: failed"))
        << log.text();
    // The message ends with the log's path.
    EXPECT_EQ(tp.window.entries("box"),
              std::vector<std::string>{"box Internet connection timed out\r\n\r\nLog: " + log.path()});
    EXPECT_EQ(tp.files.files.count(local_report), 0u);
    EXPECT_EQ(server.remote.size(), 2u);

    tp.files.files[local_report] = {'x'};
    context.session.updated_run = true;
    EXPECT_THROW(send_check_in(context), ProgramEnded);
    EXPECT_EQ(tp.window.entries("box").size(), 2u);
    EXPECT_EQ(tp.files.files.count(local_report), 0u);
}

TEST_F(CheckInTest, MissingFileOrFailedUploadIsSilent)
{
    tp.files.files.clear();
    send_check_in(context);
    EXPECT_EQ(server.remote_text("check/" + remote_name), "<missing>");
    EXPECT_TRUE(tp.window.entries("box").empty());

    tp.files.files[local_report] = {'x'};
    server.fail_uploads = true;
    send_check_in(context);
    EXPECT_EQ(server.remote_text("check/" + remote_name), "<missing>");
    EXPECT_TRUE(tp.window.entries("box").empty());
    EXPECT_EQ(tp.files.files.count(local_report), 0u);
    EXPECT_EQ(server.open_handles(), 0u);
}

TEST_F(CheckInTest, ListingErrorSkipsOnlyThatStep)
{
    server.put_remote_file("a.txt", "1");
    server.put_remote_file("A.TXT", "2");
    send_check_in(context);
    EXPECT_EQ(server.remote_text("check/" + remote_name), "2.1.5");
    EXPECT_EQ(tp.files.files.count(local_report), 0u);
    EXPECT_EQ(server.open_handles(), 0u);
}

} // namespace
} // namespace om
