// The contracts' fixtures under Wine: the real registry, its test area the application's vendor key
// "Software\Kelvane" (and any other tree a test creates), emptied before and after each test, with raw
// values put in through advapi32 directly; the real file system, version information and processes
// over a fresh folder on drive C:; WinHTTP and WinINet, with the test servers on the Linux side.
#include "contract/net_fixture.hpp"
#include "contract/registry_fixture.hpp"
#include "contract/system_fixture.hpp"
#include "platform/win32/file_system.hpp"
#include "platform/win32/ftp_wininet.hpp"
#include "platform/win32/http_winhttp.hpp"
#include "platform/win32/processes.hpp"
#include "platform/win32/registry.hpp"
#include "platform/win32/version_info.hpp"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <set>
#include <stdexcept>

namespace om::test {

namespace {

void check(LONG result, const char* what)
{
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(result));
}

// "Software\Vendor\Product" -> "Software\Vendor": the tree a test key lives in.
std::string tree_of(const std::string& key_path)
{
    const auto first = key_path.find('\\');
    const auto second = first == std::string::npos ? first : key_path.find('\\', first + 1);
    return second == std::string::npos ? key_path : key_path.substr(0, second);
}

// A Linux path as reached under Wine, through drive Z:.
std::string z_path(const std::string& unix_path)
{
    std::string path = "Z:" + unix_path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

class WineRegistryFixture : public RegistryFixture {
public:
    WineRegistryFixture() { check(RegDeleteTreeA(HKEY_CURRENT_USER, "Software\\Kelvane"), "RegDeleteTreeA"); }
    ~WineRegistryFixture() override
    {
        for (const auto& tree : trees_)
            RegDeleteTreeA(HKEY_CURRENT_USER, tree.c_str()); // the next fixture empties the area again
    }
    platform::Registry& registry() override { return registry_; }
    void create_key(const std::string& key_path) override
    {
        trees_.insert(tree_of(key_path));
        HKEY key = nullptr;
        check(
            RegCreateKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
            "RegCreateKeyExA");
        RegCloseKey(key);
    }
    void put_raw(const std::string& key_path, const std::string& value_name, std::uint32_t type,
                 const std::vector<std::uint8_t>& bytes) override
    {
        HKEY key = nullptr;
        check(RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_SET_VALUE, &key), "RegOpenKeyExA");
        const LONG result =
            RegSetValueExA(key, value_name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size()));
        RegCloseKey(key);
        check(result, "RegSetValueExA");
    }

private:
    platform::win32::Win32Registry registry_;
    std::set<std::string> trees_{"Software\\Kelvane"};
};

class WineSystemFixture : public SystemFixture {
public:
    WineSystemFixture()
    {
        char temp[MAX_PATH + 1] = {};
        if (GetTempPathA(sizeof temp, temp) == 0)
            throw std::runtime_error("GetTempPathA failed");
        static std::atomic<int> counter{0};
        path_ = std::string(temp) + "om_contract_" + std::to_string(GetCurrentProcessId()) + "_" +
                std::to_string(counter++) + "\\";
        std::filesystem::remove_all(path_);
        if (!CreateDirectoryA(path_.c_str(), nullptr))
            throw std::runtime_error("cannot create " + path_);
    }
    ~WineSystemFixture() override
    {
        // Leave the folder before removing it, and lift the attributes a test may have set.
        SetCurrentDirectoryA("C:\\");
        std::error_code ignored;
        for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
            SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
        std::filesystem::remove_all(path_, ignored);
    }
    platform::FileSystem& files() override { return files_; }
    platform::VersionInfo& versions() override { return versions_; }
    platform::Processes& processes() override { return processes_; }
    const std::string& folder() override { return path_; }
    // The tests' folder is a Unix path, seen under Wine through drive Z:.
    std::string program(const std::string& name) override
    {
        const char* folder = std::getenv("OM_TEST_PROGRAMS");
        return z_path(std::string(folder ? folder : "") + "/" + name);
    }
    std::string native(const std::string& path) override { return path; }
    void set_stand_in_sleep_ms(int milliseconds) override
    {
        SetEnvironmentVariableA("OM_STAND_IN_SLEEP_MS", std::to_string(milliseconds).c_str());
    }

private:
    std::string path_;
    platform::win32::Win32FileSystem files_;
    platform::win32::Win32VersionInfo versions_;
    platform::win32::Win32Processes processes_;
};

class WineNetFixture : public NetFixture {
public:
    platform::HttpService& http() override { return http_; }
    platform::FtpService& ftp() override { return ftp_; }
    void redirect_ftp_port(int port) override { ftp_.redirect_default_port("127.0.0.1", port); }
    std::string local_form(const std::string& host_path) override { return z_path(host_path); }
    // Wine's WinINet connects without any time-out: a server that never answers holds it for about 68 s
    // (measured), whatever the connect time-out says. Real Windows applies it.
    bool ftp_times_out() override { return false; }
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
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

private:
    platform::win32::WinHttpService http_;
    platform::win32::WinInetFtpService ftp_;
};

} // namespace

std::unique_ptr<NetFixture> make_net_fixture()
{
    return std::make_unique<WineNetFixture>();
}

std::unique_ptr<RegistryFixture> make_registry_fixture()
{
    return std::make_unique<WineRegistryFixture>();
}

std::unique_ptr<SystemFixture> make_system_fixture()
{
    return std::make_unique<WineSystemFixture>();
}

} // namespace om::test
