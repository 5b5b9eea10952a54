// The libcurl request object against the test web server, started as a child process.
#include "contract/http_fixture.hpp"
#include "platform/posix/http_curl.hpp"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>

extern char** environ;

namespace om::test {
namespace {

std::string source_dir()
{
    const char* dir = std::getenv("OM_SOURCE_DIR");
    return dir ? dir : OM_TEST_SOURCE_DIR;
}

class PosixHttpFixture : public HttpFixture {
public:
    PosixHttpFixture()
    {
        const std::string script = source_dir() + "/tests/fixtures/release_site_server/serve_site.py";
        const std::string command = files_.command_line(script) + " >/dev/null";
        // exec, so that the pid is the server's own and ending it ends the server.
        const std::string exec_command = "exec " + command;
        const char* argv[] = {"/bin/sh", "-c", exec_command.c_str(), nullptr};
        if (posix_spawn(&pid_, "/bin/sh", nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            throw std::runtime_error("the test web server could not be started");
        files_.wait_until_ready();
    }
    ~PosixHttpFixture() override
    {
        if (pid_ > 0) {
            kill(pid_, SIGTERM);
            waitpid(pid_, nullptr, 0);
        }
        std::error_code ignored;
        std::filesystem::remove_all(dir_, ignored);
    }

    platform::HttpService& http() override { return http_; }
    std::string server() override { return files_.server(); }
    std::string refused() override { return files_.refused(); }
    std::filesystem::path root() override { return files_.root(); }
    std::vector<std::string> requests() override { return files_.requests(); }
    void use_proxy(const std::string& proxy, const std::string& bypass) override
    {
        for (const char* name : {"http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"})
            ::unsetenv(name);
        if (!proxy.empty()) {
            ::setenv("http_proxy", proxy.c_str(), 1);
            ::setenv("no_proxy", bypass.c_str(), 1);
        }
    }

private:
    static std::filesystem::path next_scratch()
    {
        static std::atomic<int> count{0};
        return std::filesystem::temp_directory_path() /
               ("om_http_" + std::to_string(getpid()) + "_" + std::to_string(count++));
    }

    std::filesystem::path dir_ = next_scratch();
    ServerFiles files_{dir_, dir_.string()};
    pid_t pid_ = -1;
    platform::posix::CurlHttpService http_;
};

} // namespace

std::unique_ptr<HttpFixture> make_http_fixture()
{
    return std::make_unique<PosixHttpFixture>();
}

} // namespace om::test
