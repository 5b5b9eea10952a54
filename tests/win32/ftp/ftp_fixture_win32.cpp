#include "contract/ftp_fixture.hpp"
#include "platform/win32/ftp_wininet.hpp"

#include <windows.h>

#include <filesystem>
#include <stdexcept>

namespace om::test {
namespace {

constexpr std::uint64_t ticks_1601_to_1970 = 116'444'736'000'000'000ULL;

struct FileHandle {
    HANDLE handle;
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE)
            CloseHandle(handle);
    }
};

platform::FileTime from(const FILETIME& time)
{
    return platform::FileTime{time.dwLowDateTime, time.dwHighDateTime};
}

// Runs under Wine: host paths are reached through drive Z:, host programs start through CreateProcess.
class WineFtpFixture : public FtpFixture {
public:
    ~WineFtpFixture() override
    {
        for (const std::string& folder : folders_) {
            std::error_code ignored;
            std::filesystem::remove_all(local_form(folder), ignored);
        }
    }

    platform::FtpService& service() override { return service_; }
    void redirect_default_port(int port) override { service_.redirect_default_port("127.0.0.1", port); }

    std::string make_host_folder() override
    {
        static int made = 0;
        std::string folder = "/tmp/om-ftp-w" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(GetTickCount64()) + "-" + std::to_string(++made);
        std::error_code ignored;
        std::filesystem::remove_all(local_form(folder), ignored);
        if (!CreateDirectoryA(local_form(folder).c_str(), nullptr))
            throw std::runtime_error("cannot make " + folder);
        folders_.push_back(folder);
        return folder;
    }

    std::string local_form(const std::string& host_path) override
    {
        std::string path = "Z:" + host_path;
        for (char& c : path) {
            if (c == '/')
                c = '\\';
        }
        return path;
    }

    void start_host_program(const std::vector<std::string>& arguments) override
    {
        std::string command_line;
        for (const std::string& argument : arguments)
            command_line += (command_line.empty() ? "\"" : " \"") + argument + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        if (!CreateProcessA(nullptr, command_line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &process)) {
            throw std::runtime_error("cannot start " + command_line);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }

    void set_last_write(const std::string& local_path, std::int64_t unix_seconds) override
    {
        FileHandle file{CreateFileA(local_path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, 0, nullptr)};
        const std::uint64_t ticks = static_cast<std::uint64_t>(unix_seconds) * 10'000'000ULL + ticks_1601_to_1970;
        FILETIME written{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        SetFileTime(file.handle, nullptr, nullptr, &written);
    }

    platform::FileTime last_write(const std::string& local_path) override
    {
        FILETIME created{}, accessed{}, written{};
        FileHandle file{
            CreateFileA(local_path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr)};
        GetFileTime(file.handle, &created, &accessed, &written);
        return from(written);
    }

    // WinINet under Wine applies the connect time-out to the TCP connection only; a server that accepts
    // and never greets is given up after Wine's own 60 s.
    std::int64_t greeting_wait_limit_ms() override { return 75000; }

private:
    platform::win32::WinInetFtpService service_;
    std::vector<std::string> folders_;
};

} // namespace

std::unique_ptr<FtpFixture> make_ftp_fixture()
{
    return std::make_unique<WineFtpFixture>();
}

} // namespace om::test
