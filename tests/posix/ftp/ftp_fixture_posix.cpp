// The FTP contract's fixture on posix: the libcurl service, host paths as they are, servers started
// with posix_spawn and collected at the end.
#include "contract/ftp_fixture.hpp"
#include "platform/posix/ftp_curl.hpp"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace om::test {

namespace {

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
        for (pid_t child : children_) // they stop by themselves once their stop file is there
            ::waitpid(child, nullptr, 0);
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
        if (::mkdtemp(folder.data()) == nullptr)
            throw std::runtime_error("mkdtemp failed");
        ::chmod(folder.c_str(), 0755);
        folders_.push_back(folder);
        return folder;
    }
    std::string local_form(const std::string& host_path) override { return host_path; }
    void start_host_program(const std::vector<std::string>& arguments) override
    {
        std::vector<char*> argv;
        for (const std::string& argument : arguments)
            argv.push_back(const_cast<char*>(argument.c_str()));
        argv.push_back(nullptr);
        pid_t pid = 0;
        if (::posix_spawn(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0)
            throw std::runtime_error("cannot start " + arguments[0]);
        children_.push_back(pid);
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
        return platform::FileTime::from_ticks((static_cast<std::uint64_t>(status.st_mtim.tv_sec) + 11'644'473'600ULL) *
                                                  10'000'000ULL +
                                              static_cast<std::uint64_t>(status.st_mtim.tv_nsec) / 100);
    }
    std::int64_t greeting_wait_limit_ms() override { return 10000; }

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
