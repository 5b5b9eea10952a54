#include "contract/ftp_fixture.hpp"
#include "platform/posix/ftp_curl.hpp"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace om::test {
namespace {

struct Socket {
    int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ~Socket() { ::close(fd); }
};

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

class PosixFtpFixture : public FtpFixture {
public:
    PosixFtpFixture()
    {
        // A zone three hours east of universal time, so that a missing local-to-universal conversion
        // of a downloaded file's time shows.
        ::setenv("TZ", "XYZ-3", 1);
        ::tzset();
    }
    ~PosixFtpFixture() override
    {
        // The servers stop by themselves once their stop file is there; collect them.
        for (pid_t child : children_) {
            for (int tries = 0; tries < 100 && ::waitpid(child, nullptr, WNOHANG) == 0; ++tries) {
                pause_ms(50);
            }
        }
        for (const std::string& folder : folders_) {
            std::error_code ignored;
            std::filesystem::remove_all(folder, ignored);
        }
    }

    platform::FtpService& service() override { return service_; }
    void redirect_default_port(int port) override { service_.redirect_default_port("127.0.0.1", port); }

    std::string make_host_folder() override
    {
        std::string folder = "/tmp/om-ftp-XXXXXX";
        if (::mkdtemp(folder.data()) == nullptr) {
            throw std::runtime_error("mkdtemp failed");
        }
        ::chmod(folder.c_str(), 0755);
        folders_.push_back(folder);
        return folder;
    }
    std::string local_form(const std::string& host_path) override { return host_path; }

    void start_host_program(const std::vector<std::string>& arguments) override
    {
        std::vector<char*> argv;
        for (const std::string& argument : arguments) {
            argv.push_back(const_cast<char*>(argument.c_str()));
        }
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) {
            throw std::runtime_error("cannot start " + arguments[0]);
        }
        children_.push_back(pid);
    }

    int free_port() override
    {
        Socket probe;
        sockaddr_in address = loopback(0);
        socklen_t size = sizeof(address);
        if (::bind(probe.fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::getsockname(probe.fd, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("no free port");
        }
        return ntohs(address.sin_port);
    }

    bool port_accepts(int port) override
    {
        Socket probe;
        sockaddr_in address = loopback(port);
        return ::connect(probe.fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
    }

    void set_last_write(const std::string& local_path, std::int64_t unix_seconds) override
    {
        timespec times[2]{};
        times[0].tv_nsec = UTIME_OMIT;
        times[1].tv_sec = unix_seconds;
        ::utimensat(AT_FDCWD, local_path.c_str(), times, 0);
    }

    platform::FileTime last_write(const std::string& local_path) override
    {
        struct stat status {};
        ::stat(local_path.c_str(), &status);
        const auto ticks = (static_cast<std::uint64_t>(status.st_mtim.tv_sec) + 11'644'473'600ULL) * 10'000'000ULL +
                           static_cast<std::uint64_t>(status.st_mtim.tv_nsec) / 100;
        return platform::FileTime::from_ticks(ticks);
    }
    std::optional<platform::FileTime> creation(const std::string&) override { return std::nullopt; }

    std::int64_t local_offset_seconds() override
    {
        const std::time_t now = std::time(nullptr);
        std::tm parts{};
        ::localtime_r(&now, &parts);
        return parts.tm_gmtoff;
    }

    std::int64_t greeting_wait_limit_ms() override { return 10000; }
    void pause_ms(int milliseconds) override { std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds)); }
    std::int64_t now_ms() override
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(
                   std::chrono::steady_clock::now().time_since_epoch())
            .count();
    }
    std::string server_script() override { return OM_FTP_SERVER_SCRIPT; }

private:
    platform::posix::CurlFtpService service_;
    std::vector<std::string> folders_;
    std::vector<pid_t> children_;
};

} // namespace

std::unique_ptr<FtpFixture> make_ftp_fixture()
{
    return std::make_unique<PosixFtpFixture>();
}

} // namespace om::test
