// The contracts' fixture under Wine: the real registry, its test area the application's vendor key
// "Software\Kelvane"; the real file system, version information and processes; WinHTTP and WinINet.
#include "contract/platform_fixture.hpp"
#include "platform/win32/file_system.hpp"
#include "platform/win32/ftp_wininet.hpp"
#include "platform/win32/http_winhttp.hpp"
#include "platform/win32/processes.hpp"
#include "platform/win32/registry.hpp"
#include "platform/win32/version_info.hpp"

#include <windows.h>

#include <algorithm>

namespace om::test {
namespace {

class WineFixture : public PlatformFixture {
public:
    // The runner gives each test program a fresh prefix: emptied for each test of it.
    WineFixture() { RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kelvane"); }
    platform::Platform& services() override { return services_; }
    void create_key(const std::string& key_path) override
    {
        HKEY key = nullptr;
        if (RegCreateKeyA(HKEY_CURRENT_USER, key_path.c_str(), &key) != ERROR_SUCCESS)
            throw std::runtime_error("cannot create " + key_path);
        RegCloseKey(key);
    }
    void redirect_ftp_port(int port) override { ftp_.redirect_default_port("127.0.0.1", port); }
    // Wine's WinINet connects without any time-out: a server that never answers holds it for about 68 s
    // (measured), whatever the connect time-out says. Real Windows applies it.
    bool ftp_times_out() override { return false; }
    // Linux paths are reached through drive Z:.
    std::string local_form(const std::string& host_path) override
    {
        std::string path = "Z:" + host_path;
        std::replace(path.begin(), path.end(), '/', '\\');
        return path;
    }
    void start_host_program(const std::vector<std::string>& arguments) override
    {
        std::string command_line;
        for (const std::string& argument : arguments) {
            command_line += command_line.empty() ? "\"" : " \"";
            for (char c : argument)
                command_line += c == '"' ? std::string("\\\"") : std::string(1, c);
            command_line += '"';
        }
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process))
            throw std::runtime_error("cannot start " + command_line);
        // A Linux program has no Windows process: Wine leaves stray values in `process`, which may be the
        // number of a handle of ours (this program's standard output, once), so only real ones are closed.
        if (GetThreadId(process.hThread) != 0)
            CloseHandle(process.hThread);
        if (GetProcessId(process.hProcess) != 0)
            CloseHandle(process.hProcess);
    }

private:
    platform::win32::Win32Registry registry_;
    platform::win32::Win32FileSystem files_;
    platform::win32::Win32VersionInfo versions_;
    platform::win32::Win32Processes processes_;
    platform::win32::WinHttpService http_;
    platform::win32::WinInetFtpService ftp_;
    TestPlatform fakes_;
    platform::Platform services_{registry_,      versions_,     files_, processes_, fakes_.clock,
                                 fakes_.network, fakes_.window, http_,  ftp_,       fakes_.packages};
};

} // namespace

std::unique_ptr<PlatformFixture> make_platform_fixture()
{
    return std::make_unique<WineFixture>();
}

} // namespace om::test
