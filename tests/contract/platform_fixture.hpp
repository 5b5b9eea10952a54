#pragma once
// The contract tests run each platform's real services: natively on posix, under Wine on win32, with
// the test servers on the Linux side on 127.0.0.1 (under Wine a Windows program can start a Linux
// one). Each platform's foundation folder provides make_platform_fixture().
#include "platform/platform.hpp"
#include "support/test_platform.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace om::test {

// A name no other scratch folder of the tests takes: the prefix, the time and a count.
inline std::string fresh_name(const std::string& prefix)
{
    static int made = 0;
    return prefix + std::to_string(std::chrono::system_clock::now().time_since_epoch().count()) + "_" +
           std::to_string(++made);
}

class PlatformFixture {
public:
    PlatformFixture() { std::filesystem::create_directory(root); }
    virtual ~PlatformFixture()
    {
        std::error_code ignored;
        std::filesystem::remove_all(root, ignored);
    }
    // A fresh empty folder of the test's own as this program reaches it, and as the session writes
    // install_dir (ending in "\").
    const std::string root = (std::filesystem::temp_directory_path() / fresh_name("om_contract_")).string();
    const std::string folder = root + "\\";
    // The platform's real registry, file system, version information, processes, HTTP and FTP, with the
    // fakes of the rest (clock, network, window, packages). The registry is a fresh, empty
    // HKEY_CURRENT_USER area of the test's own.
    virtual platform::Platform& services() = 0;
    // Creates a key (and its parents) in the registry the way the application's installation would.
    virtual void create_key(const std::string& key_path) = 0;
    // Makes the FTP service send connections asked for port 21 to 127.0.0.1:port.
    virtual void redirect_ftp_port(int port) = 0;
    // Whether the FTP service gives up on a server that never answers within the connect time-out.
    virtual bool ftp_times_out() = 0;
    // The path by which this program and its services reach a Linux path.
    virtual std::string local_form(const std::string& host_path) = 0;
    // Starts a Linux program (its argument vector) without waiting for it.
    virtual void start_host_program(const std::vector<std::string>& arguments) = 0;

    // A built stand-in program of tests/programs by file name.
    std::string program(const std::string& name) { return local_form(OM_TEST_PROGRAMS_BUILT "/" + name); }
};

std::unique_ptr<PlatformFixture> make_platform_fixture();

// A test server in a scratch folder of its own under /tmp, stopped by its stop file at the end (the
// folder is removed once the server has ended).
class HostServer {
public:
    explicit HostServer(PlatformFixture& net) : net_(net) { std::filesystem::create_directories(local("root")); }
    ~HostServer()
    {
        std::ofstream(local("stop")) << "stop";
        for (const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
             !ready_.empty() && std::filesystem::exists(local(ready_)) && std::chrono::steady_clock::now() < give_up;)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        std::error_code ignored;
        std::filesystem::remove_all(local(""), ignored);
    }
    HostServer(const HostServer&) = delete;
    HostServer& operator=(const HostServer&) = delete;

    std::string host(const std::string& name) const { return host_ + "/" + name; }
    std::filesystem::path local(const std::string& name) const { return net_.local_form(host(name)); }
    // Starts the server and waits (at most 20 s) until `ready_file` holds its port (and any more
    // numbers). A shell around the server removes that file when the server ends.
    std::vector<int> start(const std::vector<std::string>& arguments, const std::string& ready_file)
    {
        ready_ = ready_file;
        std::vector<std::string> wrapped{"/bin/sh", "-c", "\"$@\" >/dev/null 2>&1; rm -f \"$0\"", host(ready_file)};
        wrapped.insert(wrapped.end(), arguments.begin(), arguments.end());
        net_.start_host_program(wrapped);
        for (const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
             std::chrono::steady_clock::now() < give_up; std::this_thread::sleep_for(std::chrono::milliseconds(20))) {
            std::ifstream in(local(ready_file));
            std::vector<int> numbers;
            for (int number = 0; in >> number;)
                numbers.push_back(number);
            if (!numbers.empty())
                return numbers;
        }
        throw std::runtime_error("the test server did not start: " + arguments.at(1));
    }

private:
    PlatformFixture& net_;
    std::string host_ = fresh_name("/tmp/om_contract_");
    std::string ready_;
};

} // namespace om::test
