// FTPClass over the platform's real FTP service, as the check-in uses it (open passive, upload over
// any earlier file, close), against pyftpdlib on 127.0.0.1 and against servers that refuse, never
// answer or drop an upload (tests/contract/ftp_server.py).
#include "contract/platform_fixture.hpp"
#include "report/ftp_class.hpp"
#include "support/scripted_window.hpp"

#include <gtest/gtest.h>

#include <iterator>

namespace om::test {
namespace {

TEST(FtpContract, TheReportLandsByteForByteNewOrOverAnEarlierOneOrTheUploadGivesFalse)
{
    const std::string user = "kelvane", password = "7rKp#Lwe=T%d";
    const std::string report(std::string("report \0\r\n\x80\xff bytes\n", 19));
    std::unique_ptr<PlatformFixture> net = make_platform_fixture();
    ScriptedWindow window;
    FTPClass ftp{net->services().ftp, window};
    // Whether the file is there is read from the folder's listing: MLSD, or LIST on a server without it
    // (check.sh's server has MLSD). Then no server at all, a refused login, a server that never
    // accepts, one that drops the upload. (Which of them shows a box is the core tests'.)
    const struct {
        std::string mode, user;
        bool opened, uploaded;
    } cases[] = {{"pyftpdlib", user, true, true}, {"no-mlsd", user, true, true},
                 {"", user, false, false},        {"pyftpdlib", "intruder", false, false},
                 {"full", user, false, false},    {"close-on-stor", user, true, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode + " " + c.user);
        if (c.mode == "full" && !net->ftp_times_out())
            continue;
        // The server's folder with check/ and an earlier report in it, and the report to upload beside it.
        HostServer server{*net};
        std::filesystem::create_directories(server.local("root/check"));
        std::ofstream(server.local("root/check/old.txt")) << "earlier report";
        std::ofstream(server.local("report.txt"), std::ios::binary) << report;
        std::vector<int> ports{1}; // nobody listens on port 1
        if (!c.mode.empty())
            ports = server.start({"/usr/bin/python3", OM_TEST_SOURCE_DIR "/tests/contract/ftp_server.py", c.mode, "0",
                                  server.host("root"), user, password, "60", server.host("stop")},
                                 "stop.ready");
        net->redirect_ftp_port(ports.at(0));
        const auto begin = std::chrono::steady_clock::now();
        EXPECT_EQ(ftp.OpenFTP("127.0.0.1", c.user, password, true), c.opened);
        EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10)); // the 3 s time-out
        for (const std::string name : {"old.txt", "new.txt"}) {
            EXPECT_EQ(ftp.PutFile(server.local("report.txt").string(), "check/" + name, true), c.uploaded) << name;
            std::ifstream in(server.local("root/check/" + name), std::ios::binary);
            EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}) == report, c.uploaded) << name;
        }
        ftp.CloseFTP();
    }
}

} // namespace
} // namespace om::test
