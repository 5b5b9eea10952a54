#pragma once
// FTP service over libcurl, one reused easy handle per connection (one login per connection).
//
// libcurl addresses every file by a path in the URL and sends quote commands in whatever folder the
// connection was last left in, so the service keeps the connection's current folder itself and hands
// libcurl absolute paths only (no CWD by libcurl; MKD, RMD, DELE, RNFR/RNTO as quote commands). Folder
// listings use MLSD where the server offers it (exact times) and LIST otherwise. Transfers are active
// (PORT on the control connection's own address) unless the connection was made passive (PASV), as
// WinINet does.
#include "platform/ftp_service.hpp"

#include <curl/curl.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace om::platform::posix {

class CurlFtpService : public FtpService {
public:
    // Reads OM_REPORT_HOST / OM_REPORT_PORT: when set, connections asked for port 21 go to that host and
    // port instead (tests run their report server on a free loopback port).
    CurlFtpService();
    ~CurlFtpService() override;
    CurlFtpService(const CurlFtpService&) = delete;
    CurlFtpService& operator=(const CurlFtpService&) = delete;
    // Sends connections asked for port 21 to this host and port (what OM_REPORT_HOST/PORT do).
    void redirect_default_port(const std::string& host, int port)
    {
        host_override_ = host;
        port_override_ = port;
    }

    FtpHandle internet_open(const std::string& agent, std::uint32_t access_type, std::uint32_t flags) override;
    bool set_option(FtpHandle handle, std::uint32_t option, std::uint32_t value) override;
    FtpHandle connect(FtpHandle session, const std::string& server, int port, const std::string& user,
                      const std::string& password, std::uint32_t service, std::uint32_t flags) override;
    FtpHandle find_first(FtpHandle connection, const std::string& pattern, FtpFindData& data,
                         std::uint32_t flags) override;
    bool find_next(FtpHandle find, FtpFindData& data) override;
    bool get_current_directory(FtpHandle connection, std::span<char> buffer, std::uint32_t& length) override;
    bool set_current_directory(FtpHandle connection, const std::string& name) override;
    bool create_directory(FtpHandle connection, const std::string& name) override;
    bool remove_directory(FtpHandle connection, const std::string& name) override;
    bool get_file(FtpHandle connection, const std::string& remote_name, const std::string& local_path,
                  bool fail_if_exists, std::uint32_t attributes, std::uint32_t flags) override;
    bool put_file(FtpHandle connection, const std::string& local_path, const std::string& remote_name,
                  std::uint32_t flags) override;
    bool delete_file(FtpHandle connection, const std::string& name) override;
    bool rename_file(FtpHandle connection, const std::string& old_name, const std::string& new_name) override;
    bool close_handle(FtpHandle handle) override;
    std::optional<std::uint32_t> local_attributes(const std::string& path) override;
    bool delete_local_file(const std::string& path) override;
    bool set_local_file_times(const std::string& path, FileTime local_time) override;

private:
    struct EasyCleanup {
        void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
    };
    struct Session {
        std::string agent;
        long connect_timeout_ms = 60000;
    };
    struct Connection {
        std::unique_ptr<CURL, EasyCleanup> easy;
        std::string base_url; // "ftp://host:port"
        std::string user, password;
        bool passive = false;
        long connect_timeout_ms = 0;
        std::string current_folder = "/";
        std::optional<bool> mlsd; // unknown until the first listing
    };
    struct Search {
        std::vector<FtpFindData> entries;
        std::size_t next = 0;
    };
    struct Entry {
        std::variant<Session, Connection, Search> object;
        FtpHandle parent = 0;
    };
    struct Request;

    template <class T> T* find(FtpHandle handle);
    FtpHandle keep(Entry entry);
    // Runs one libcurl operation on the connection's easy handle; true on CURLE_OK.
    bool perform(Connection& connection, const Request& request, std::string* replies = nullptr);
    bool quote(Connection& connection, const std::vector<std::string>& commands, std::string* replies = nullptr);
    std::optional<std::vector<FtpFindData>> list_folder(Connection& connection, const std::string& folder);
    static std::string absolute(const Connection& connection, const std::string& name);
    std::string url_of(const Connection& connection, const std::string& absolute_path, bool folder) const;

    std::map<FtpHandle, Entry> handles_;
    FtpHandle next_handle_ = 1;
    std::optional<std::string> host_override_;
    std::optional<int> port_override_;
};

} // namespace om::platform::posix
