// FTPClass over the platform's real FTP service, against pyftpdlib on 127.0.0.1 (the list parser's
// own tests hold the other servers' listing forms), and against servers that refuse, stay silent or
// drop an upload.
#include "contract/ftp_fixture.hpp"
#include "report/ftp_class.hpp"
#include "report/ftp_date.hpp"
#include "support/scripted_window.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

namespace om::platform {
void PrintTo(const FileTime& time, std::ostream* out)
{
    *out << time.ticks();
}
} // namespace om::platform

namespace om::test {
namespace {

namespace fs = std::filesystem;

constexpr std::int64_t seconds_1601_to_1970 = 11'644'473'600;

platform::FileTime file_time_of_unix(std::int64_t unix_seconds)
{
    return platform::FileTime::from_ticks(static_cast<std::uint64_t>(unix_seconds + seconds_1601_to_1970) *
                                          10'000'000ULL);
}

struct Account {
    std::string user, password;
};

std::int64_t now_ms()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Seconds east of universal time of the local zone now (the bias a local file time is read with).
std::int64_t local_offset_seconds()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc = *std::gmtime(&now);
    utc.tm_isdst = -1;
    return static_cast<std::int64_t>(now - std::mktime(&utc));
}

// One server process for one test on a port of its choosing, stopped by its stop file (or by its own
// time limit) at the end.
class TestServer {
public:
    TestServer(FtpFixture& fixture, const std::string& mode, const std::string& host_root, const Account& account)
        : fixture_(fixture), stop_file_(host_root + ".stop")
    {
        fixture.start_host_program({"/usr/bin/python3", OM_FTP_SERVER_SCRIPT, mode, "0", host_root, account.user,
                                    account.password, "90", stop_file_});
        const std::int64_t give_up = now_ms() + 15000;
        while (!(std::ifstream(fixture.local_form(stop_file_ + ".ready")) >> port_) && now_ms() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    ~TestServer()
    {
        std::ofstream(fixture_.local_form(stop_file_)) << "stop";
        const std::int64_t give_up = now_ms() + 5000;
        while (std::filesystem::exists(fixture_.local_form(stop_file_ + ".ready")) && now_ms() < give_up)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    int port() const { return port_; }

private:
    FtpFixture& fixture_;
    std::string stop_file_;
    int port_ = 0;
};

const Account account{"kelvane", "7rKp#Lwe=T%d"};

class FtpContract : public ::testing::Test {
protected:
    std::unique_ptr<FtpFixture> fixture = make_ftp_fixture();
    std::string host_root = fixture->make_host_folder() + "/root";
    ScriptedWindow window;
    FTPClass ftp{fixture->service(), window};
    std::unique_ptr<TestServer> server;
    // A time the listings show to the minute (recent files show "Mon DD HH:MM").
    std::int64_t listed_time =
        (std::chrono::duration_cast<std::chrono::seconds>(std::chrono::system_clock::now().time_since_epoch()).count() /
         60 * 60) -
        3 * 86400;

    FtpContract() { fs::create_directories(remote("")); }

    // The local form of a path in the server's writable folder "pub".
    std::string remote(const std::string& name) { return fixture->local_form(host_root + "/pub/" + name); }
    std::string local(const std::string& name) { return fixture->local_form(host_root + ".local/" + name); }

    void put_remote(const std::string& name, const std::string& content)
    {
        std::ofstream(remote(name), std::ios::binary) << content;
        fixture->set_last_write(remote(name), listed_time);
    }
    void put_local(const std::string& name, const std::string& content)
    {
        fs::create_directories(fixture->local_form(host_root + ".local"));
        std::ofstream(local(name), std::ios::binary) << content;
    }
    static std::string read(const std::string& path)
    {
        std::ifstream in(path, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }

    void start(const std::string& mode = "pyftpdlib")
    {
        server = std::make_unique<TestServer>(*fixture, mode, host_root, account);
    }
    bool open(bool passive = true)
    {
        fixture->redirect_default_port(server->port());
        return ftp.OpenFTP("127.0.0.1", account.user, account.password, passive);
    }
    // Opens and goes to the writable folder.
    void open_in_pub(bool passive = true)
    {
        ASSERT_TRUE(open(passive));
        ASSERT_TRUE(ftp.SetCurrentFolder("pub"));
    }
};

TEST_F(FtpContract, UploadsWithAndWithoutOverwrite)
{
    put_remote("old.txt", "old remote");
    put_local("new.txt", "new local bytes");
    start();
    open_in_pub();
    EXPECT_FALSE(ftp.PutFile(local("new.txt"), "old.txt"));
    EXPECT_EQ(read(remote("old.txt")), "old remote");
    EXPECT_TRUE(ftp.PutFile(local("new.txt"), "old.txt", true));
    EXPECT_EQ(read(remote("old.txt")), "new local bytes");
    EXPECT_TRUE(ftp.PutFile(local("new.txt"), "fresh.txt"));
    EXPECT_EQ(read(remote("fresh.txt")), "new local bytes");
    EXPECT_FALSE(ftp.PutFile(local("absent.txt"), "other.txt", true));
    EXPECT_FALSE(fs::exists(remote("other.txt")));
    ftp.CloseFTP();
    // Active mode: the server connects back for the listing and the upload.
    put_local("up.bin", std::string("\0\r\n\x80 binary", 11));
    open_in_pub(false);
    EXPECT_TRUE(ftp.Files().contains("old.txt"));
    EXPECT_TRUE(ftp.PutFile(local("up.bin"), "up.bin"));
    EXPECT_EQ(read(remote("up.bin")), std::string("\0\r\n\x80 binary", 11));
    ftp.CloseFTP();
    EXPECT_TRUE(window.entries("box").empty());
}

TEST_F(FtpContract, DownloadsOntoAnExistingFileOnlyWhenAllowedWithTheListedTime)
{
    put_remote("data.bin", std::string("remote\0bytes\r\n", 14));
    put_local("data.bin", "local");
    start();
    open_in_pub();
    EXPECT_FALSE(ftp.GetFile("data.bin", local("data.bin")));
    EXPECT_EQ(read(local("data.bin")), "local");

    EXPECT_TRUE(ftp.GetFile("data.bin", local("data.bin"), true));
    EXPECT_EQ(read(local("data.bin")), std::string("remote\0bytes\r\n", 14));
    // The listing shows the server's (universal) time; the file gets it read as local time.
    EXPECT_EQ(ftp.last_found().last_write_time, file_time_of_unix(listed_time));
    EXPECT_EQ(fixture->last_write(local("data.bin")), file_time_of_unix(listed_time - local_offset_seconds()));

    EXPECT_TRUE(ftp.GetFile("data.bin", local("second.bin")));
    EXPECT_EQ(read(local("second.bin")), std::string("remote\0bytes\r\n", 14));
    EXPECT_FALSE(ftp.GetFile("absent.bin", local("third.bin"), true));
    EXPECT_FALSE(fs::exists(local("third.bin")));
    ftp.CloseFTP();
}

TEST_F(FtpContract, ListsFilesAndFoldersApartAndWorksOnFolders)
{
    put_remote("one.txt", "12345");
    put_remote("two.txt", "");
    fs::create_directories(remote("sub"));
    put_remote("sub/inner.txt", "x");
    start();
    open_in_pub();
    EXPECT_EQ(ftp.CurrentFolder(), "/pub");
    EXPECT_EQ(ftp.Files().count(), 2u);
    ASSERT_TRUE(ftp.Files().contains("one.txt"));
    EXPECT_TRUE(ftp.Files().contains("two.txt"));
    EXPECT_EQ(ftp.Files().find("one.txt")->FileSize, 5);
    EXPECT_DOUBLE_EQ(ftp.Files().find("one.txt")->ModifyDate, *date_of_file_time(file_time_of_unix(listed_time)));
    EXPECT_EQ(ftp.Folders().count(), 1u);
    EXPECT_TRUE(ftp.Folders().contains("sub"));
    EXPECT_FALSE(ftp.Files().contains("sub"));

    EXPECT_TRUE(ftp.FileExists("one.txt"));
    EXPECT_TRUE(ftp.FileExists("sub"));
    EXPECT_FALSE(ftp.FileExists("nothing.txt"));
    EXPECT_TRUE(ftp.FolderExists("sub"));
    EXPECT_FALSE(ftp.FolderExists("one.txt"));
    EXPECT_FALSE(ftp.FolderExists("nothing"));

    EXPECT_TRUE(ftp.RenameFile("one.txt", "renamed.txt"));
    EXPECT_EQ(read(remote("renamed.txt")), "12345");
    EXPECT_FALSE(fs::exists(remote("one.txt")));
    EXPECT_FALSE(ftp.RenameFile("one.txt", "again.txt"));
    EXPECT_TRUE(ftp.DeleteFile("renamed.txt"));
    EXPECT_FALSE(fs::exists(remote("renamed.txt")));
    EXPECT_FALSE(ftp.DeleteFile("renamed.txt"));

    EXPECT_TRUE(ftp.CreatFolder("made"));
    EXPECT_TRUE(fs::is_directory(remote("made")));
    EXPECT_FALSE(ftp.Folders().contains("made")); // no refresh until asked
    ftp.Refresh();
    EXPECT_TRUE(ftp.Folders().contains("made"));
    EXPECT_TRUE(ftp.DeleteFolder("made"));
    EXPECT_FALSE(fs::exists(remote("made")));
    EXPECT_FALSE(ftp.DeleteFolder("made"));

    EXPECT_TRUE(ftp.SetCurrentFolder("sub"));
    EXPECT_EQ(ftp.CurrentFolder(), "/pub/sub");
    EXPECT_EQ(ftp.Files().count(), 1u);
    EXPECT_TRUE(ftp.Files().contains("inner.txt"));
    EXPECT_FALSE(ftp.SetCurrentFolder("nowhere"));
    EXPECT_EQ(ftp.CurrentFolder(), "/pub/sub");
    EXPECT_TRUE(ftp.PutFile(local("none"), "x") == false);
    ftp.CloseFTP();

    // Closed: every operation answers false or "" (the folder is still there).
    EXPECT_EQ(ftp.CurrentFolder(), "");
    EXPECT_FALSE(ftp.FileExists("inner.txt"));
    EXPECT_FALSE(ftp.SetCurrentFolder("/pub"));
    EXPECT_FALSE(ftp.DeleteFile("inner.txt"));
    EXPECT_TRUE(fs::exists(remote("sub/inner.txt")));
    EXPECT_TRUE(window.entries("box").empty());
}

TEST_F(FtpContract, RefusedLoginShowsOneBox)
{
    start();
    fixture->redirect_default_port(server->port());
    EXPECT_FALSE(ftp.OpenFTP("127.0.0.1", "intruder", "wrong", true));
    EXPECT_EQ(ftp.hFTP, 0u);
    EXPECT_EQ(window.entries("box"), std::vector<std::string>{"box Internet connection timed out"});
    EXPECT_FALSE(ftp.FileExists("anything"));
}

TEST_F(FtpContract, RefusedPortFailsWithOneBox)
{
    fixture->redirect_default_port(1); // nobody listens on port 1
    EXPECT_FALSE(ftp.OpenFTP("127.0.0.1", "kelvane", "7rKp#Lwe=T%d", true));
    EXPECT_EQ(ftp.hFTP, 0u);
    EXPECT_EQ(window.entries("box"), std::vector<std::string>{"box Internet connection timed out"});
}

TEST_F(FtpContract, SilentServerTimesOutAfterThreeSeconds)
{
    start("silent");
    const std::int64_t before = now_ms();
    EXPECT_FALSE(open());
    const std::int64_t waited = now_ms() - before;
    EXPECT_EQ(window.entries("box"), std::vector<std::string>{"box Internet connection timed out"});
    EXPECT_GE(waited, 2500);
    EXPECT_LT(waited, fixture->greeting_wait_limit_ms());
}

TEST_F(FtpContract, ServerClosingDuringUploadGivesFalse)
{
    put_local("report.txt", "report");
    start("close-on-stor");
    open_in_pub();
    EXPECT_FALSE(ftp.PutFile(local("report.txt"), "report.txt", true));
    ftp.CloseFTP();
    EXPECT_TRUE(window.entries("box").empty());
}

} // namespace
} // namespace om::test
