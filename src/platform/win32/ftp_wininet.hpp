#pragma once
// FTP service over WinINet: every call is the WinINet call of the same name. The service owns the
// HINTERNET handles behind the handle values it gives out.
#include "platform/ftp_service.hpp"

#include <windows.h>
#include <wininet.h>

#include <map>
#include <memory>
#include <optional>
#include <string>

namespace om::platform::win32 {

class WinInetFtpService : public FtpService {
public:
    // Reads OM_REPORT_HOST / OM_REPORT_PORT: when set, connections asked for port 21 go to that host and
    // port instead (tests run their report server on a free loopback port).
    WinInetFtpService();
    ~WinInetFtpService() override;
    WinInetFtpService(const WinInetFtpService&) = delete;
    WinInetFtpService& operator=(const WinInetFtpService&) = delete;
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
    struct InternetCloser {
        void operator()(HINTERNET handle) const { InternetCloseHandle(handle); }
    };
    using UniqueInternet = std::unique_ptr<void, InternetCloser>;
    struct Entry {
        UniqueInternet handle;
        FtpHandle parent = 0;
    };

    HINTERNET get(FtpHandle handle) const;
    FtpHandle keep(HINTERNET handle, FtpHandle parent);

    std::map<FtpHandle, Entry> handles_;
    FtpHandle next_handle_ = 1;
    std::optional<std::string> host_override_;
    std::optional<int> port_override_;
};

} // namespace om::platform::win32
