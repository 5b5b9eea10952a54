#include "contract/ftp_fixture.hpp"
#include "platform/win32/ftp_wininet.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <filesystem>
#include <stdexcept>

namespace om::test {
namespace {

constexpr std::uint64_t ticks_1601_to_1970 = 116'444'736'000'000'000ULL;

struct Socket {
    SOCKET handle = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    ~Socket() { ::closesocket(handle); }
};

struct FileHandle {
    HANDLE handle;
    ~FileHandle()
    {
        if (handle != INVALID_HANDLE_VALUE) {
            CloseHandle(handle);
        }
    }
};

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<u_short>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

platform::FileTime from(const FILETIME& time)
{
    return platform::FileTime{time.dwLowDateTime, time.dwHighDateTime};
}

// Runs under Wine: host paths are reached through drive Z:, host programs start through CreateProcess.
class WineFtpFixture : public FtpFixture {
public:
    WineFtpFixture()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
    ~WineFtpFixture() override
    {
        for (const std::string& folder : folders_) {
            std::error_code ignored;
            std::filesystem::remove_all(local_form(folder), ignored);
        }
        WSACleanup();
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
        if (!CreateDirectoryA(local_form(folder).c_str(), nullptr)) {
            throw std::runtime_error("cannot make " + folder);
        }
        folders_.push_back(folder);
        return folder;
    }

    std::string local_form(const std::string& host_path) override
    {
        std::string path = "Z:" + host_path;
        for (char& c : path) {
            if (c == '/') {
                c = '\\';
            }
        }
        return path;
    }

    void start_host_program(const std::vector<std::string>& arguments) override
    {
        std::string command_line;
        for (const std::string& argument : arguments) {
            command_line += (command_line.empty() ? "\"" : " \"") + argument + "\"";
        }
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

    int free_port() override
    {
        Socket probe;
        sockaddr_in address = loopback(0);
        int size = sizeof(address);
        if (::bind(probe.handle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
            ::getsockname(probe.handle, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
            throw std::runtime_error("no free port");
        }
        return ntohs(address.sin_port);
    }

    bool port_accepts(int port) override
    {
        Socket probe;
        sockaddr_in address = loopback(port);
        return ::connect(probe.handle, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
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

    // Wine on a Linux file system keeps no settable creation time.
    std::optional<platform::FileTime> creation(const std::string&) override { return std::nullopt; }

    std::int64_t local_offset_seconds() override
    {
        TIME_ZONE_INFORMATION zone{};
        const DWORD kind = GetTimeZoneInformation(&zone);
        LONG bias = zone.Bias;
        if (kind == TIME_ZONE_ID_DAYLIGHT) {
            bias += zone.DaylightBias;
        } else if (kind == TIME_ZONE_ID_STANDARD) {
            bias += zone.StandardBias;
        }
        return -static_cast<std::int64_t>(bias) * 60;
    }

    // WinINet under Wine applies the connect time-out to the TCP connection only; a server that accepts
    // and never greets is given up after Wine's own 60 s.
    std::int64_t greeting_wait_limit_ms() override { return 75000; }
    void pause_ms(int milliseconds) override { Sleep(static_cast<DWORD>(milliseconds)); }
    std::int64_t now_ms() override { return static_cast<std::int64_t>(GetTickCount64()); }
    std::string server_script() override { return OM_FTP_SERVER_SCRIPT; }

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
