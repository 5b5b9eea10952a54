#pragma once
// FTP service shaped after WinINet's FTP calls: an Internet session, a connection on it, folder searches
// and file transfers, each addressed by an opaque handle value (0 = none). The service owns the real
// handles behind those values and closes every one still open when it is destroyed; close_handle
// releases one early. Closing a session or connection also releases the searches opened on it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace om::platform {

using FtpHandle = std::uint32_t;

// 100-nanosecond intervals since 1 January 1601, in two halves (FILETIME).
struct FileTime {
    std::uint32_t low = 0;
    std::uint32_t high = 0;

    std::uint64_t ticks() const { return (std::uint64_t{high} << 32) | low; }
    static FileTime from_ticks(std::uint64_t ticks)
    {
        return FileTime{static_cast<std::uint32_t>(ticks), static_cast<std::uint32_t>(ticks >> 32)};
    }
    bool operator==(const FileTime&) const = default;
};

// One found entry (WIN32_FIND_DATAA): names are NUL-terminated within their fields.
struct FtpFindData {
    std::uint32_t attributes = 0;
    FileTime creation_time;
    FileTime last_access_time;
    FileTime last_write_time;
    std::uint32_t size_high = 0;
    std::uint32_t size_low = 0;
    std::uint32_t reserved0 = 0;
    std::uint32_t reserved1 = 0;
    std::array<char, 260> file_name{};
    std::array<char, 14> alternate_file_name{};
};

inline constexpr std::uint32_t file_attribute_readonly = 0x1;
inline constexpr std::uint32_t file_attribute_directory = 0x10;
inline constexpr std::uint32_t file_attribute_archive = 0x20;
inline constexpr std::uint32_t file_attribute_normal = 0x80;

inline constexpr std::uint32_t internet_open_type_direct = 1;
inline constexpr std::uint32_t internet_option_connect_timeout = 2;
inline constexpr std::uint32_t internet_service_ftp = 1;
inline constexpr std::uint32_t internet_flag_passive = 0x08000000;
inline constexpr int internet_default_ftp_port = 21;

inline constexpr std::uint32_t ftp_transfer_type_unknown = 0;
inline constexpr std::uint32_t ftp_transfer_type_ascii = 1;
inline constexpr std::uint32_t ftp_transfer_type_binary = 2;

class FtpService {
public:
    virtual ~FtpService() = default;

    // InternetOpenA with no proxy and no bypass list; 0 on failure.
    virtual FtpHandle internet_open(const std::string& agent, std::uint32_t access_type, std::uint32_t flags) = 0;
    // InternetSetOptionA with a 4-byte value.
    virtual bool set_option(FtpHandle handle, std::uint32_t option, std::uint32_t value) = 0;
    // InternetConnectA: connects and logs in; 0 on failure (refused, unreachable, login denied, time-out).
    virtual FtpHandle connect(FtpHandle session, const std::string& server, int port, const std::string& user,
                              const std::string& password, std::uint32_t service, std::uint32_t flags) = 0;
    // FtpFindFirstFileA: the entries of the pattern's folder whose names match its last part (wildcards
    // "*" and "?", letter case ignored); the first goes into data. 0 when nothing matched or on failure.
    virtual FtpHandle find_first(FtpHandle connection, const std::string& pattern, FtpFindData& data,
                                 std::uint32_t flags) = 0;
    // InternetFindNextFileA: false when the search has no further entry.
    virtual bool find_next(FtpHandle find, FtpFindData& data) = 0;
    // FtpGetCurrentDirectoryA: length in = the buffer's size, out = the characters written.
    virtual bool get_current_directory(FtpHandle connection, std::span<char> buffer, std::uint32_t& length) = 0;
    virtual bool set_current_directory(FtpHandle connection, const std::string& name) = 0;
    virtual bool create_directory(FtpHandle connection, const std::string& name) = 0;
    virtual bool remove_directory(FtpHandle connection, const std::string& name) = 0;
    // FtpGetFileA: remote file into a local path, created with the attributes given.
    virtual bool get_file(FtpHandle connection, const std::string& remote_name, const std::string& local_path,
                          bool fail_if_exists, std::uint32_t attributes, std::uint32_t flags) = 0;
    // FtpPutFileA: a local file to a remote name.
    virtual bool put_file(FtpHandle connection, const std::string& local_path, const std::string& remote_name,
                          std::uint32_t flags) = 0;
    virtual bool delete_file(FtpHandle connection, const std::string& name) = 0;
    virtual bool rename_file(FtpHandle connection, const std::string& old_name, const std::string& new_name) = 0;
    // InternetCloseHandle.
    virtual bool close_handle(FtpHandle handle) = 0;

    // Local files, as a downloaded file needs them.
    // GetFileAttributesA: nullopt when the path's attributes cannot be read (it does not exist).
    virtual std::optional<std::uint32_t> local_attributes(const std::string& path) = 0;
    // DeleteFileA.
    virtual bool delete_local_file(const std::string& path) = 0;
    // Opens an existing local file for writing (read and write sharing) and sets its creation and
    // last-write times to a local time converted to universal time (LocalFileTimeToFileTime); the
    // last-access time is left unchanged. Where the platform keeps no settable creation time, only the
    // last-write time is set.
    virtual bool set_local_file_times(const std::string& path, FileTime local_time) = 0;
};

} // namespace om::platform
