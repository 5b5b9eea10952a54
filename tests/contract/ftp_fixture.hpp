#pragma once
// The FTP client contract tests run FTPClass over each platform's real FTP service against real FTP
// servers on 127.0.0.1, started from tests/contract/ftp_server.py on the host (Linux) side. Each
// platform's test folder provides make_ftp_fixture().
#include "platform/ftp_service.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace om::test {

class FtpFixture {
public:
    virtual ~FtpFixture() = default;
    virtual platform::FtpService& service() = 0;
    // Makes the service send connections asked for port 21 to 127.0.0.1:port.
    virtual void redirect_default_port(int port) = 0;
    // A new empty folder of the test's own, as a host (Unix) path.
    virtual std::string make_host_folder() = 0;
    // The path by which this program (and the service) reaches a host path.
    virtual std::string local_form(const std::string& host_path) = 0;
    // Starts a host program (Unix argument vector) without waiting for it.
    virtual void start_host_program(const std::vector<std::string>& arguments) = 0;
    // A local file's last-write time, and setting it (universal, seconds since 1970).
    virtual void set_last_write(const std::string& local_path, std::int64_t unix_seconds) = 0;
    virtual platform::FileTime last_write(const std::string& local_path) = 0;
    // How long connecting to a server that never greets may take: the 3000 ms connect time-out where
    // the platform's service applies it to the greeting and login, its own limit otherwise.
    virtual std::int64_t greeting_wait_limit_ms() = 0;
};

std::unique_ptr<FtpFixture> make_ftp_fixture();

} // namespace om::test
