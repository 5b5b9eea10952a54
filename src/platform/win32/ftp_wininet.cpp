#include "platform/win32/ftp_wininet.hpp"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace om::platform::win32 {
namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueFileHandle = std::unique_ptr<void, HandleCloser>;

void copy_find_data(const WIN32_FIND_DATAA& from, FtpFindData& to)
{
    to.attributes = from.dwFileAttributes;
    to.creation_time = FileTime{from.ftCreationTime.dwLowDateTime, from.ftCreationTime.dwHighDateTime};
    to.last_access_time = FileTime{from.ftLastAccessTime.dwLowDateTime, from.ftLastAccessTime.dwHighDateTime};
    to.last_write_time = FileTime{from.ftLastWriteTime.dwLowDateTime, from.ftLastWriteTime.dwHighDateTime};
    to.size_high = from.nFileSizeHigh;
    to.size_low = from.nFileSizeLow;
    to.reserved0 = from.dwReserved0;
    to.reserved1 = from.dwReserved1;
    static_assert(sizeof(from.cFileName) == sizeof(to.file_name));
    static_assert(sizeof(from.cAlternateFileName) == sizeof(to.alternate_file_name));
    std::memcpy(to.file_name.data(), from.cFileName, sizeof(from.cFileName));
    std::memcpy(to.alternate_file_name.data(), from.cAlternateFileName, sizeof(from.cAlternateFileName));
}

} // namespace

WinInetFtpService::WinInetFtpService()
{
    if (const char* host = std::getenv("OM_REPORT_HOST"); host != nullptr && *host != '\0') {
        host_override_ = host;
    }
    if (const char* port = std::getenv("OM_REPORT_PORT"); port != nullptr && *port != '\0') {
        port_override_ = std::atoi(port);
    }
}

WinInetFtpService::~WinInetFtpService()
{
    // Searches and connections before the sessions they belong to: children always have larger values.
    while (!handles_.empty()) {
        handles_.erase(std::prev(handles_.end()));
    }
}

HINTERNET WinInetFtpService::get(FtpHandle handle) const
{
    auto found = handles_.find(handle);
    return found == handles_.end() ? nullptr : found->second.handle.get();
}

FtpHandle WinInetFtpService::keep(HINTERNET handle, FtpHandle parent)
{
    if (handle == nullptr) {
        return 0;
    }
    FtpHandle value = next_handle_++;
    handles_.emplace(value, Entry{UniqueInternet(handle), parent});
    return value;
}

FtpHandle WinInetFtpService::internet_open(const std::string& agent, std::uint32_t access_type, std::uint32_t flags)
{
    return keep(InternetOpenA(agent.c_str(), access_type, nullptr, nullptr, flags), 0);
}

bool WinInetFtpService::set_option(FtpHandle handle, std::uint32_t option, std::uint32_t value)
{
    HINTERNET internet = get(handle);
    if (internet == nullptr) {
        return false;
    }
    DWORD data = value;
    return InternetSetOptionA(internet, option, &data, sizeof(data)) != FALSE;
}

FtpHandle WinInetFtpService::connect(FtpHandle session, const std::string& server, int port, const std::string& user,
                                     const std::string& password, std::uint32_t service, std::uint32_t flags)
{
    HINTERNET internet = get(session);
    if (internet == nullptr) {
        return 0;
    }
    std::string host = server;
    if (port == internet_default_ftp_port && port_override_) {
        port = *port_override_;
        if (host_override_) {
            host = *host_override_;
        }
    }
    HINTERNET connection = InternetConnectA(internet, host.c_str(), static_cast<INTERNET_PORT>(port), user.c_str(),
                                            password.c_str(), service, flags, 0);
    return keep(connection, session);
}

FtpHandle WinInetFtpService::find_first(FtpHandle connection, const std::string& pattern, FtpFindData& data,
                                        std::uint32_t flags)
{
    HINTERNET internet = get(connection);
    if (internet == nullptr) {
        return 0;
    }
    WIN32_FIND_DATAA found{};
    HINTERNET search = FtpFindFirstFileA(internet, pattern.c_str(), &found, flags, 0);
    copy_find_data(found, data);
    return keep(search, connection);
}

bool WinInetFtpService::find_next(FtpHandle find, FtpFindData& data)
{
    HINTERNET search = get(find);
    if (search == nullptr) {
        return false;
    }
    WIN32_FIND_DATAA found{};
    if (InternetFindNextFileA(search, &found) == FALSE) {
        return false;
    }
    copy_find_data(found, data);
    return true;
}

bool WinInetFtpService::get_current_directory(FtpHandle connection, std::span<char> buffer, std::uint32_t& length)
{
    HINTERNET internet = get(connection);
    if (internet == nullptr) {
        return false;
    }
    DWORD size = length;
    bool done = FtpGetCurrentDirectoryA(internet, buffer.data(), &size) != FALSE;
    length = size;
    return done;
}

bool WinInetFtpService::set_current_directory(FtpHandle connection, const std::string& name)
{
    HINTERNET internet = get(connection);
    return internet != nullptr && FtpSetCurrentDirectoryA(internet, name.c_str()) != FALSE;
}

bool WinInetFtpService::create_directory(FtpHandle connection, const std::string& name)
{
    HINTERNET internet = get(connection);
    return internet != nullptr && FtpCreateDirectoryA(internet, name.c_str()) != FALSE;
}

bool WinInetFtpService::remove_directory(FtpHandle connection, const std::string& name)
{
    HINTERNET internet = get(connection);
    return internet != nullptr && FtpRemoveDirectoryA(internet, name.c_str()) != FALSE;
}

bool WinInetFtpService::get_file(FtpHandle connection, const std::string& remote_name, const std::string& local_path,
                                 bool fail_if_exists, std::uint32_t attributes, std::uint32_t flags)
{
    HINTERNET internet = get(connection);
    return internet != nullptr && FtpGetFileA(internet, remote_name.c_str(), local_path.c_str(),
                                              fail_if_exists ? TRUE : FALSE, attributes, flags, 0) != FALSE;
}

bool WinInetFtpService::put_file(FtpHandle connection, const std::string& local_path, const std::string& remote_name,
                                 std::uint32_t flags)
{
    HINTERNET internet = get(connection);
    return internet != nullptr && FtpPutFileA(internet, local_path.c_str(), remote_name.c_str(), flags, 0) != FALSE;
}

bool WinInetFtpService::delete_file(FtpHandle connection, const std::string& name)
{
    HINTERNET internet = get(connection);
    return internet != nullptr && FtpDeleteFileA(internet, name.c_str()) != FALSE;
}

bool WinInetFtpService::rename_file(FtpHandle connection, const std::string& old_name, const std::string& new_name)
{
    HINTERNET internet = get(connection);
    return internet != nullptr && FtpRenameFileA(internet, old_name.c_str(), new_name.c_str()) != FALSE;
}

bool WinInetFtpService::close_handle(FtpHandle handle)
{
    auto found = handles_.find(handle);
    if (found == handles_.end()) {
        return false;
    }
    // WinINet ends the children of a closed handle: close them first, so no value outlives its handle.
    std::vector<FtpHandle> children;
    for (const auto& [value, entry] : handles_) {
        if (entry.parent == handle) {
            children.push_back(value);
        }
    }
    for (FtpHandle child : children) {
        close_handle(child);
    }
    HINTERNET internet = handles_.at(handle).handle.release();
    handles_.erase(handle);
    return InternetCloseHandle(internet) != FALSE;
}

std::optional<std::uint32_t> WinInetFtpService::local_attributes(const std::string& path)
{
    DWORD attributes = GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        return std::nullopt;
    }
    return attributes;
}

bool WinInetFtpService::delete_local_file(const std::string& path)
{
    return DeleteFileA(path.c_str()) != FALSE;
}

bool WinInetFtpService::set_local_file_times(const std::string& path, FileTime local_time)
{
    UniqueFileHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, 0, nullptr));
    if (file.get() == INVALID_HANDLE_VALUE) {
        file.release();
        return false;
    }
    FILETIME local{local_time.low, local_time.high};
    FILETIME universal{};
    if (LocalFileTimeToFileTime(&local, &universal) == FALSE) {
        return false;
    }
    return SetFileTime(file.get(), &universal, nullptr, &universal) != FALSE;
}

} // namespace om::platform::win32
