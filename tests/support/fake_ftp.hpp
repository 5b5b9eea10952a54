#pragma once
// An in-memory FTP server behind the FTP service interface: remote files and folders by path, the local
// side in a FakeFiles, and a log of every call so that tests can see what went over the wire.
#include "platform/ftp_service.hpp"
#include "support/fake_services.hpp"

#include <map>
#include <set>
#include <string>
#include <vector>

namespace om::test {

class FakeFtp : public platform::FtpService {
public:
    struct Remote {
        std::vector<std::uint8_t> bytes;
        bool folder = false;
        std::uint32_t attributes = 0;
        platform::FileTime written;
        std::uint64_t size = 0; // listed size; the byte count when 0
    };
    // Remote entries by path from the root without a leading "/": "check/a.txt", "check" (a folder).
    std::map<std::string, Remote> remote;
    FakeFiles* local = nullptr;
    std::map<std::string, platform::FileTime> local_times;
    std::vector<std::string> log;
    std::string user = "kelvane";
    std::string password = "7rKp#Lwe=T%d";
    bool reachable = true;
    bool fail_uploads = false;
    // Answers the current folder's length with its terminating NUL counted (as WinINet under Wine does).
    bool current_folder_reply_counts_nul = false;
    std::string current = ""; // the connection's folder, "" = root

    explicit FakeFtp(FakeFiles& files) : local(&files) {}

    void put_remote_file(const std::string& path, const std::string& content, platform::FileTime written = {});
    void add_remote_folder(const std::string& path);
    std::string remote_text(const std::string& path) const;
    // Handles given out and not yet closed.
    std::size_t open_handles() const { return open_.size(); }

    platform::FtpHandle internet_open(const std::string& agent, std::uint32_t access_type,
                                      std::uint32_t flags) override;
    bool set_option(platform::FtpHandle handle, std::uint32_t option, std::uint32_t value) override;
    platform::FtpHandle connect(platform::FtpHandle session, const std::string& server, int port,
                                const std::string& user_name, const std::string& pass, std::uint32_t service,
                                std::uint32_t flags) override;
    platform::FtpHandle find_first(platform::FtpHandle connection, const std::string& pattern,
                                   platform::FtpFindData& data, std::uint32_t flags) override;
    bool find_next(platform::FtpHandle find, platform::FtpFindData& data) override;
    bool get_current_directory(platform::FtpHandle connection, std::span<char> buffer, std::uint32_t& length) override;
    bool set_current_directory(platform::FtpHandle connection, const std::string& name) override;
    bool create_directory(platform::FtpHandle connection, const std::string& name) override;
    bool remove_directory(platform::FtpHandle connection, const std::string& name) override;
    bool get_file(platform::FtpHandle connection, const std::string& remote_name, const std::string& local_path,
                  bool fail_if_exists, std::uint32_t attributes, std::uint32_t flags) override;
    bool put_file(platform::FtpHandle connection, const std::string& local_path, const std::string& remote_name,
                  std::uint32_t flags) override;
    bool delete_file(platform::FtpHandle connection, const std::string& name) override;
    bool rename_file(platform::FtpHandle connection, const std::string& old_name, const std::string& new_name) override;
    bool close_handle(platform::FtpHandle handle) override;
    std::optional<std::uint32_t> local_attributes(const std::string& path) override;
    bool delete_local_file(const std::string& path) override;
    bool set_local_file_times(const std::string& path, platform::FileTime local_time) override;

private:
    enum class Kind { session, connection, search };
    struct Open {
        Kind kind;
        std::vector<platform::FtpFindData> found;
        std::size_t next = 0;
        platform::FtpHandle parent = 0;
    };
    bool is(platform::FtpHandle handle, Kind kind) const;
    std::string path_of(const std::string& name) const;
    platform::FtpHandle give(Open open);

    std::map<platform::FtpHandle, Open> open_;
    platform::FtpHandle next_ = 100;
};

} // namespace om::test
