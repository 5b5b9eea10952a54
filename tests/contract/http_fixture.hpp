#pragma once
// The request-object contract tests run against each platform's real HTTP service and a real web
// server on 127.0.0.1 (tests/fixtures/release_site_server/serve_site.py, on the Linux side also under
// Wine). Each platform's test folder provides make_http_fixture().
#include "platform/http_request.hpp"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

namespace om::test {

class HttpFixture {
public:
    virtual ~HttpFixture() = default;
    virtual platform::HttpService& http() = 0;
    // "http://127.0.0.1:<port>" of the test server.
    virtual std::string server() = 0;
    // "http://127.0.0.1:<port>" where nothing listens.
    virtual std::string refused() = 0;
    // The folder the server serves, as this platform's path.
    virtual std::filesystem::path root() = 0;
    // "<path> <User-Agent>[ <Range>]" of every request the server saw, in order.
    virtual std::vector<std::string> requests() = 0;
    // Sets the user's proxy ("host:port" and its bypass list) for request objects created from now
    // on; "" for none.
    virtual void use_proxy(const std::string& proxy, const std::string& bypass) = 0;
};

std::unique_ptr<HttpFixture> make_http_fixture();

// The server's files in a scratch folder: its root, its log, the port file and the stop file. The
// platform starts the program (starting it is all that differs); this side waits for the port and
// stops the server by creating the stop file.
class ServerFiles {
public:
    // `local` is the scratch folder as this program sees it, `unix_path` as the server sees it.
    ServerFiles(std::filesystem::path local, std::string unix_path)
        : local_(std::move(local)), unix_(std::move(unix_path))
    {
        std::filesystem::remove_all(local_);
        std::filesystem::create_directories(local_ / "root");
    }
    ~ServerFiles() { std::ofstream(local_ / "stop") << "stop\n"; }
    ServerFiles(const ServerFiles&) = delete;
    ServerFiles& operator=(const ServerFiles&) = delete;

    // The server's command line, with the script's path as the server sees it.
    std::string command_line(const std::string& script) const
    {
        return "/usr/bin/python3 " + script + " --root " + unix_ + "/root --log " + unix_ + "/log --port-file " +
               unix_ + "/port --stop-file " + unix_ + "/stop --lifetime 600 --fault reset1.bin=reset:1" +
               " --fault stall1.bin=stall:1 --fault short1.bin=short:1 --fault norange1.bin=norange:1" +
               " --fault changed1.bin=changed:1 --fault wrongstart1.bin=wrongstart:1 --fault broken.bin=reset";
    }
    // Waits up to 20 s for the port file; throws when the server did not start.
    void wait_until_ready()
    {
        for (int i = 0; i < 400; ++i) {
            std::ifstream in(local_ / "port");
            if (in >> port_ >> refused_port_)
                return;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        throw std::runtime_error("the test web server did not start");
    }
    std::string server() const { return "http://127.0.0.1:" + std::to_string(port_); }
    std::string refused() const { return "http://127.0.0.1:" + std::to_string(refused_port_); }
    std::filesystem::path root() const { return local_ / "root"; }
    std::vector<std::string> requests() const
    {
        std::ifstream in(local_ / "log");
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

private:
    std::filesystem::path local_;
    std::string unix_;
    int port_ = 0;
    int refused_port_ = 0;
};

} // namespace om::test
