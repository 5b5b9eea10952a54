// The WinHTTP request object against the test web server. Under Wine a Windows program can start a
// Linux program, so the same server runs on the Linux side and is reached on 127.0.0.1.
#include "contract/http_fixture.hpp"
#include "platform/win32/http_winhttp.hpp"

#include <windows.h>

#include <atomic>
#include <cstdlib>

namespace om::test {
namespace {

std::string source_dir()
{
    const char* dir = std::getenv("OM_SOURCE_DIR");
    return dir ? dir : OM_TEST_SOURCE_DIR;
}

class Win32HttpFixture : public HttpFixture {
public:
    Win32HttpFixture()
    {
        std::string command = files_->command_line(source_dir() + "/tests/fixtures/release_site_server/serve_site.py");
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
            throw std::runtime_error("the test web server could not be started");
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
        files_->wait_until_ready();
    }
    ~Win32HttpFixture() override
    {
        files_.reset(); // the stop file ends the server
        Sleep(300);
        std::error_code ignored;
        std::filesystem::remove_all(local_, ignored);
    }

    platform::HttpService& http() override { return http_; }
    std::string server() override { return files_->server(); }
    std::string refused() override { return files_->refused(); }
    std::filesystem::path root() override { return files_->root(); }
    std::vector<std::string> requests() override { return files_->requests(); }
    // The settings WinHTTP reads: 0x46, a counter, flags 3 (a proxy), the proxy and its bypass list.
    void use_proxy(const std::string& proxy, const std::string& bypass) override
    {
        const char* key = "Software\\Microsoft\\Windows\\CurrentVersion\\Internet Settings\\Connections";
        if (proxy.empty()) {
            RegDeleteKeyValueA(HKEY_CURRENT_USER, key, "DefaultConnectionSettings");
            return;
        }
        std::string value;
        auto dword = [&](std::size_t n) { value.append(reinterpret_cast<const char*>(&n), 4); };
        dword(0x46), dword(1), dword(3), dword(proxy.size()), value += proxy, dword(bypass.size()), value += bypass;
        dword(0), value.append(32, '\0');
        HKEY handle = nullptr;
        if (RegCreateKeyExA(HKEY_CURRENT_USER, key, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &handle, nullptr) == 0) {
            RegSetValueExA(handle, "DefaultConnectionSettings", 0, REG_BINARY,
                           reinterpret_cast<const BYTE*>(value.data()), static_cast<DWORD>(value.size()));
            RegCloseKey(handle);
        }
    }

private:
    static std::string next_unix_scratch()
    {
        static std::atomic<int> count{0};
        return "/tmp/om_http_w" + std::to_string(GetCurrentProcessId()) + "_" + std::to_string(count++);
    }

    std::string unix_ = next_unix_scratch();
    std::filesystem::path local_ = "Z:" + unix_;
    std::unique_ptr<ServerFiles> files_ = std::make_unique<ServerFiles>(local_, unix_);
    platform::win32::WinHttpService http_;
};

} // namespace

std::unique_ptr<HttpFixture> make_http_fixture()
{
    return std::make_unique<Win32HttpFixture>();
}

} // namespace om::test
