#pragma once
// The FTP client contract tests run FTPClass over each platform's real FTP service against real FTP
// servers on 127.0.0.1, started from tests/contract/ftp_server.py on the host (Linux) side. Each
// platform's test folder provides make_ftp_fixture().
#include "platform/ftp_service.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace om::test {

class FtpFixture {
public:
    virtual ~FtpFixture() = default;
    // The platform's real FTP service.
    virtual platform::FtpService& service() = 0;
    // Makes the service send connections asked for port 21 to 127.0.0.1:port.
    virtual void redirect_default_port(int port) = 0;
    // A new empty folder of the test's own, as a host (Unix) path.
    virtual std::string make_host_folder() = 0;
    // The path by which this program (and the service) reaches a host path.
    virtual std::string local_form(const std::string& host_path) = 0;
    // Starts a host program (Unix argument vector) without waiting for it.
    virtual void start_host_program(const std::vector<std::string>& arguments) = 0;
    // A loopback TCP port nobody listens on at the moment.
    virtual int free_port() = 0;
    // True when a TCP connection to 127.0.0.1:port is accepted.
    virtual bool port_accepts(int port) = 0;
    // Sets a local file's last-write time (universal, seconds since 1970).
    virtual void set_last_write(const std::string& local_path, std::int64_t unix_seconds) = 0;
    // A local file's last-write time and, where the platform keeps a settable one, its creation time.
    virtual platform::FileTime last_write(const std::string& local_path) = 0;
    virtual std::optional<platform::FileTime> creation(const std::string& local_path) = 0;
    // Seconds east of universal time of the local zone now (the bias LocalFileTimeToFileTime uses).
    virtual std::int64_t local_offset_seconds() = 0;
    // How long connecting to a server that never greets may take: the 3000 ms connect time-out where
    // the platform's service applies it to the greeting and login, its own limit otherwise.
    virtual std::int64_t greeting_wait_limit_ms() = 0;
    // Sleeps between the tests of a bounded wait.
    virtual void pause_ms(int milliseconds) = 0;
    // Milliseconds from an arbitrary start.
    virtual std::int64_t now_ms() = 0;
    // The path of tests/contract/ftp_server.py on the host.
    virtual std::string server_script() = 0;
};

std::unique_ptr<FtpFixture> make_ftp_fixture();

} // namespace om::test
