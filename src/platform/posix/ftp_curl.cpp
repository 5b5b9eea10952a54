#include "platform/posix/ftp_curl.hpp"

#include "platform/posix/ftp_list_parser.hpp"

#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <unistd.h>

namespace om::platform::posix {
namespace {

// A transfer that goes quiet this long is given up, so that a stalled server cannot hold the window
// for ever (WinINet has its own receive time-out).
constexpr long response_timeout_s = 60;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using UniqueFile = std::unique_ptr<std::FILE, FileCloser>;

struct SlistFree {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using UniqueSlist = std::unique_ptr<curl_slist, SlistFree>;

struct FdCloser {
    int fd = -1;
    ~FdCloser()
    {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

std::string local_path_of(const std::string& path)
{
    std::string result = path;
    for (char& c : result) {
        if (c == '\\') {
            c = '/';
        }
    }
    return result;
}

size_t append_text(char* data, size_t size, size_t count, void* target)
{
    static_cast<std::string*>(target)->append(data, size * count);
    return size * count;
}

size_t write_file(char* data, size_t size, size_t count, void* target)
{
    return std::fwrite(data, size, count, static_cast<std::FILE*>(target)) * size;
}

CivilTime now_utc()
{
    const std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
    std::tm parts{};
    gmtime_r(&now, &parts);
    return CivilTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday, parts.tm_hour, parts.tm_min, parts.tm_sec};
}

// The folder of a "257" reply: the text between the first pair of quotes, doubled quotes undone.
std::optional<std::string> folder_of_pwd_reply(const std::string& replies)
{
    std::size_t line_start = replies.rfind("\n257 ");
    line_start =
        line_start == std::string::npos ? (replies.starts_with("257 ") ? 0 : std::string::npos) : line_start + 1;
    if (line_start == std::string::npos) {
        return std::nullopt;
    }
    std::size_t at = replies.find('"', line_start);
    if (at == std::string::npos) {
        return std::nullopt;
    }
    std::string folder;
    for (++at; at < replies.size(); ++at) {
        if (replies[at] == '"') {
            if (at + 1 < replies.size() && replies[at + 1] == '"') {
                folder += '"';
                ++at;
                continue;
            }
            return folder;
        }
        folder += replies[at];
    }
    return std::nullopt;
}

struct CurlGlobal {
    CurlGlobal() { curl_global_init(CURL_GLOBAL_DEFAULT); }
    ~CurlGlobal() { curl_global_cleanup(); }
};

} // namespace

struct CurlFtpService::Request {
    std::string url;
    bool no_body = false;
    std::FILE* upload = nullptr;
    curl_off_t upload_size = 0;
    std::FILE* download = nullptr;
    std::string* text = nullptr; // a listing's body
    const char* custom_request = nullptr;
    curl_slist* quote = nullptr;
    bool ascii = false;
};

CurlFtpService::CurlFtpService()
{
    static CurlGlobal global;
    if (const char* host = std::getenv("OM_REPORT_HOST"); host != nullptr && *host != '\0') {
        host_override_ = host;
    }
    if (const char* port = std::getenv("OM_REPORT_PORT"); port != nullptr && *port != '\0') {
        port_override_ = std::atoi(port);
    }
}

CurlFtpService::~CurlFtpService()
{
    while (!handles_.empty()) {
        handles_.erase(std::prev(handles_.end()));
    }
}

template <class T> T* CurlFtpService::find(FtpHandle handle)
{
    auto found = handles_.find(handle);
    return found == handles_.end() ? nullptr : std::get_if<T>(&found->second.object);
}

FtpHandle CurlFtpService::keep(Entry entry)
{
    FtpHandle value = next_handle_++;
    handles_.emplace(value, std::move(entry));
    return value;
}

bool CurlFtpService::perform(Connection& connection, const Request& request, std::string* replies)
{
    CURL* easy = connection.easy.get();
    curl_easy_reset(easy); // keeps the open connection and its login
    curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(easy, CURLOPT_USERNAME, connection.user.c_str());
    curl_easy_setopt(easy, CURLOPT_PASSWORD, connection.password.c_str());
    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(easy, CURLOPT_PROXY, ""); // the session is direct: no proxy of the environment
    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connection.connect_timeout_ms);
    curl_easy_setopt(easy, CURLOPT_SERVER_RESPONSE_TIMEOUT, response_timeout_s);
    curl_easy_setopt(easy, CURLOPT_FTP_FILEMETHOD, static_cast<long>(CURLFTPMETHOD_NOCWD));
    if (connection.passive) {
        curl_easy_setopt(easy, CURLOPT_FTP_USE_EPSV, 0L);
    } else {
        curl_easy_setopt(easy, CURLOPT_FTPPORT, "-");
        curl_easy_setopt(easy, CURLOPT_FTP_USE_EPRT, 0L);
    }
    curl_easy_setopt(easy, CURLOPT_TRANSFERTEXT, request.ascii ? 1L : 0L);
    if (request.no_body) {
        curl_easy_setopt(easy, CURLOPT_NOBODY, 1L);
    }
    if (request.quote != nullptr) {
        curl_easy_setopt(easy, CURLOPT_QUOTE, request.quote);
    }
    if (request.custom_request != nullptr) {
        curl_easy_setopt(easy, CURLOPT_CUSTOMREQUEST, request.custom_request);
    }
    if (request.upload != nullptr) {
        curl_easy_setopt(easy, CURLOPT_UPLOAD, 1L);
        curl_easy_setopt(easy, CURLOPT_READDATA, request.upload);
        curl_easy_setopt(easy, CURLOPT_INFILESIZE_LARGE, request.upload_size);
    }
    if (request.download != nullptr) {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, write_file);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, request.download);
    } else if (request.text != nullptr) {
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, append_text);
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, request.text);
    }
    if (replies != nullptr) {
        // libcurl hands the server's FTP replies to the header callback.
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, append_text);
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, replies);
    }
    return curl_easy_perform(easy) == CURLE_OK;
}

bool CurlFtpService::quote(Connection& connection, const std::vector<std::string>& commands, std::string* replies)
{
    UniqueSlist list;
    for (const std::string& command : commands) {
        curl_slist* longer = curl_slist_append(list.get(), command.c_str());
        if (longer == nullptr) {
            return false;
        }
        list.release();
        list.reset(longer);
    }
    Request request;
    request.url = connection.base_url + "/";
    request.no_body = true;
    request.quote = list.get();
    return perform(connection, request, replies);
}

std::string CurlFtpService::absolute(const Connection& connection, const std::string& name)
{
    std::string path = name;
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    if (path.starts_with("/")) {
        return path;
    }
    std::string folder = connection.current_folder;
    if (!folder.ends_with("/")) {
        folder += '/';
    }
    return folder + path;
}

std::string CurlFtpService::url_of(const Connection& connection, const std::string& absolute_path, bool folder) const
{
    // "%2F" first: the path starts at the server's root, not at the login folder.
    std::string url = connection.base_url + "/%2F";
    std::size_t at = 1;
    bool first = true;
    while (at <= absolute_path.size()) {
        std::size_t end = absolute_path.find('/', at);
        if (end == std::string::npos) {
            end = absolute_path.size();
        }
        const std::string segment = absolute_path.substr(at, end - at);
        at = end + 1;
        if (segment.empty()) {
            continue;
        }
        char* escaped = curl_easy_escape(connection.easy.get(), segment.c_str(), static_cast<int>(segment.size()));
        if (escaped == nullptr) {
            return {};
        }
        url += (first ? "" : "/");
        url += escaped;
        curl_free(escaped);
        first = false;
    }
    if (folder) {
        url += '/';
    }
    return url;
}

std::optional<std::vector<FtpFindData>> CurlFtpService::list_folder(Connection& connection, const std::string& folder)
{
    const std::string url = url_of(connection, folder, true);
    if (connection.mlsd.value_or(true)) {
        std::string body;
        Request request;
        request.url = url;
        request.text = &body;
        request.custom_request = "MLSD";
        if (perform(connection, request)) {
            connection.mlsd = true;
            return parse_listing(body, true, now_utc());
        }
        if (connection.mlsd.has_value()) {
            return std::nullopt; // MLSD works on this server: the folder itself failed
        }
        connection.mlsd = false;
    }
    std::string body;
    Request request;
    request.url = url;
    request.text = &body;
    if (!perform(connection, request)) {
        return std::nullopt;
    }
    return parse_listing(body, false, now_utc());
}

FtpHandle CurlFtpService::internet_open(const std::string& agent, std::uint32_t, std::uint32_t)
{
    return keep(Entry{Session{agent}, 0});
}

bool CurlFtpService::set_option(FtpHandle handle, std::uint32_t option, std::uint32_t value)
{
    Session* session = find<Session>(handle);
    if (session == nullptr || option != internet_option_connect_timeout) {
        return false;
    }
    session->connect_timeout_ms = static_cast<long>(value);
    return true;
}

FtpHandle CurlFtpService::connect(FtpHandle session_handle, const std::string& server, int port,
                                  const std::string& user, const std::string& password, std::uint32_t service,
                                  std::uint32_t flags)
{
    Session* session = find<Session>(session_handle);
    if (session == nullptr || service != internet_service_ftp || server.empty()) {
        return 0;
    }
    std::string host = server;
    if (port == internet_default_ftp_port && port_override_) {
        port = *port_override_;
        if (host_override_) {
            host = *host_override_;
        }
    }
    Connection connection;
    connection.easy.reset(curl_easy_init());
    if (!connection.easy) {
        return 0;
    }
    connection.base_url = "ftp://" + host + ":" + std::to_string(port);
    connection.user = user;
    connection.password = password;
    connection.passive = (flags & internet_flag_passive) != 0;
    connection.connect_timeout_ms = session->connect_timeout_ms;
    // Connect and log in now, as InternetConnectA does for FTP.
    Request request;
    request.url = connection.base_url + "/";
    request.no_body = true;
    if (!perform(connection, request)) {
        return 0;
    }
    const char* entry_path = nullptr;
    if (curl_easy_getinfo(connection.easy.get(), CURLINFO_FTP_ENTRY_PATH, &entry_path) == CURLE_OK &&
        entry_path != nullptr && *entry_path != '\0') {
        connection.current_folder = entry_path;
    }
    return keep(Entry{std::move(connection), session_handle});
}

FtpHandle CurlFtpService::find_first(FtpHandle connection_handle, const std::string& pattern, FtpFindData& data,
                                     std::uint32_t)
{
    data = FtpFindData{};
    Connection* connection = find<Connection>(connection_handle);
    if (connection == nullptr) {
        return 0;
    }
    // The pattern's folder part names the folder to list, its last part the names to keep.
    std::string path = pattern;
    for (char& c : path) {
        if (c == '\\') {
            c = '/';
        }
    }
    std::string folder = connection->current_folder;
    std::string name_pattern = path;
    if (const auto slash = path.rfind('/'); slash != std::string::npos) {
        folder = absolute(*connection, slash == 0 ? "/" : path.substr(0, slash));
        name_pattern = path.substr(slash + 1);
    }
    if (name_pattern.empty()) {
        name_pattern = "*";
    }
    auto listing = list_folder(*connection, folder);
    if (!listing) {
        return 0;
    }
    Search search;
    for (const FtpFindData& entry : *listing) {
        if (name_matches(entry_name(entry), name_pattern)) {
            search.entries.push_back(entry);
        }
    }
    if (search.entries.empty()) {
        return 0;
    }
    data = search.entries.front();
    search.next = 1;
    return keep(Entry{std::move(search), connection_handle});
}

bool CurlFtpService::find_next(FtpHandle find_handle, FtpFindData& data)
{
    Search* search = find<Search>(find_handle);
    if (search == nullptr || search->next >= search->entries.size()) {
        return false;
    }
    data = search->entries[search->next++];
    return true;
}

bool CurlFtpService::get_current_directory(FtpHandle connection_handle, std::span<char> buffer, std::uint32_t& length)
{
    Connection* connection = find<Connection>(connection_handle);
    if (connection == nullptr) {
        return false;
    }
    const std::string& folder = connection->current_folder;
    const std::size_t room = std::min<std::size_t>(length, buffer.size());
    if (folder.size() + 1 > room) {
        return false;
    }
    std::memcpy(buffer.data(), folder.c_str(), folder.size() + 1);
    length = static_cast<std::uint32_t>(folder.size());
    return true;
}

bool CurlFtpService::set_current_directory(FtpHandle connection_handle, const std::string& name)
{
    Connection* connection = find<Connection>(connection_handle);
    if (connection == nullptr) {
        return false;
    }
    const std::string target = absolute(*connection, name);
    std::string replies;
    if (!quote(*connection, {"CWD " + target, "PWD"}, &replies)) {
        return false;
    }
    connection->current_folder = folder_of_pwd_reply(replies).value_or(target);
    return true;
}

bool CurlFtpService::create_directory(FtpHandle connection_handle, const std::string& name)
{
    Connection* connection = find<Connection>(connection_handle);
    return connection != nullptr && quote(*connection, {"MKD " + absolute(*connection, name)});
}

bool CurlFtpService::remove_directory(FtpHandle connection_handle, const std::string& name)
{
    Connection* connection = find<Connection>(connection_handle);
    return connection != nullptr && quote(*connection, {"RMD " + absolute(*connection, name)});
}

bool CurlFtpService::delete_file(FtpHandle connection_handle, const std::string& name)
{
    Connection* connection = find<Connection>(connection_handle);
    return connection != nullptr && quote(*connection, {"DELE " + absolute(*connection, name)});
}

bool CurlFtpService::rename_file(FtpHandle connection_handle, const std::string& old_name, const std::string& new_name)
{
    Connection* connection = find<Connection>(connection_handle);
    return connection != nullptr &&
           quote(*connection, {"RNFR " + absolute(*connection, old_name), "RNTO " + absolute(*connection, new_name)});
}

bool CurlFtpService::get_file(FtpHandle connection_handle, const std::string& remote_name,
                              const std::string& local_path, bool fail_if_exists, std::uint32_t attributes,
                              std::uint32_t flags)
{
    Connection* connection = find<Connection>(connection_handle);
    if (connection == nullptr) {
        return false;
    }
    const std::string target = local_path_of(local_path);
    if (fail_if_exists && ::access(target.c_str(), F_OK) == 0) {
        return false;
    }
    // The bytes go to a temporary file beside the target, which takes the target's name only when the
    // whole file came: a failed transfer leaves no partial file behind.
    std::string temporary = target + ".ftpXXXXXX";
    FdCloser descriptor{::mkstemp(temporary.data())};
    if (descriptor.fd < 0) {
        return false;
    }
    UniqueFile file(::fdopen(descriptor.fd, "wb"));
    if (!file) {
        ::unlink(temporary.c_str());
        return false;
    }
    descriptor.fd = -1; // the FILE owns it now
    Request request;
    request.url = url_of(*connection, absolute(*connection, remote_name), false);
    request.download = file.get();
    request.ascii = (flags & 0x3) == ftp_transfer_type_ascii;
    bool done = perform(*connection, request);
    done = std::fflush(file.get()) == 0 && done;
    file.reset();
    const mode_t mode = (attributes & file_attribute_readonly) != 0 ? 0444 : 0644;
    done = done && ::chmod(temporary.c_str(), mode) == 0 && std::rename(temporary.c_str(), target.c_str()) == 0;
    if (!done) {
        ::unlink(temporary.c_str());
    }
    return done;
}

bool CurlFtpService::put_file(FtpHandle connection_handle, const std::string& local_path,
                              const std::string& remote_name, std::uint32_t flags)
{
    Connection* connection = find<Connection>(connection_handle);
    if (connection == nullptr) {
        return false;
    }
    UniqueFile file(std::fopen(local_path_of(local_path).c_str(), "rb"));
    struct stat status {};
    if (!file || ::fstat(::fileno(file.get()), &status) != 0 || !S_ISREG(status.st_mode)) {
        return false;
    }
    Request request;
    request.url = url_of(*connection, absolute(*connection, remote_name), false);
    request.upload = file.get();
    request.upload_size = static_cast<curl_off_t>(status.st_size);
    request.ascii = (flags & 0x3) == ftp_transfer_type_ascii;
    return perform(*connection, request);
}

bool CurlFtpService::close_handle(FtpHandle handle)
{
    if (handles_.count(handle) == 0) {
        return false;
    }
    std::vector<FtpHandle> children;
    for (const auto& [value, entry] : handles_) {
        if (entry.parent == handle) {
            children.push_back(value);
        }
    }
    for (FtpHandle child : children) {
        close_handle(child);
    }
    handles_.erase(handle);
    return true;
}

std::optional<std::uint32_t> CurlFtpService::local_attributes(const std::string& path)
{
    struct stat status {};
    if (::stat(local_path_of(path).c_str(), &status) != 0) {
        return std::nullopt;
    }
    std::uint32_t attributes = S_ISDIR(status.st_mode) ? file_attribute_directory : file_attribute_archive;
    if ((status.st_mode & S_IWUSR) == 0) {
        attributes |= file_attribute_readonly;
    }
    return attributes;
}

bool CurlFtpService::delete_local_file(const std::string& path)
{
    return ::unlink(local_path_of(path).c_str()) == 0;
}

bool CurlFtpService::set_local_file_times(const std::string& path, FileTime local_time)
{
    // Linux keeps a birth time but lets nobody set it: only the last-write time is set here.
    FdCloser file{::open(local_path_of(path).c_str(), O_WRONLY | O_CLOEXEC)};
    if (file.fd < 0) {
        return false;
    }
    constexpr std::int64_t ticks_per_second = 10'000'000;
    constexpr std::int64_t seconds_1601_to_1970 = 11'644'473'600;
    const auto ticks = static_cast<std::int64_t>(local_time.ticks());
    const std::time_t local_seconds = ticks / ticks_per_second - seconds_1601_to_1970;
    // The local calendar time, converted to universal time the way LocalFileTimeToFileTime does: with
    // the zone's current bias.
    std::tm parts{};
    if (gmtime_r(&local_seconds, &parts) == nullptr) {
        return false;
    }
    const std::time_t now = std::time(nullptr);
    std::tm now_local{};
    localtime_r(&now, &now_local);
    const std::time_t universal = local_seconds - now_local.tm_gmtoff;
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = universal;
    times[1].tv_nsec = static_cast<long>(ticks % ticks_per_second) * 100;
    return ::futimens(file.fd, times) == 0;
}

} // namespace om::platform::posix
