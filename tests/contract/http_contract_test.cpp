// The request object's contract where the whole-program tests do not reach it, the same on every
// platform: text by its charset, failures through the error event, broken bodies never joined.
#include "contract/platform_fixture.hpp"

#include <gtest/gtest.h>

namespace om::test {
namespace {

// The events in order, each run of data chunks noted once.
struct Recorder : platform::HttpEvents {
    std::vector<std::string> log;
    std::string data;
    void note(const std::string& event)
    {
        if (log.empty() || log.back() != event)
            log.push_back(event);
    }
    void on_response_start(long, const std::string&) override { note("start"); }
    void on_response_data(std::span<const std::uint8_t> chunk) override
    {
        note("data");
        data.append(chunk.begin(), chunk.end());
    }
    void on_response_finished() override { note("finished"); }
    void on_error(long, const std::string&) override { note("error"); }
    void on_response_restart() override { note("restart"), data.clear(); }
};

struct HttpContract : ::testing::Test {
    std::unique_ptr<PlatformFixture> net = make_platform_fixture();
    HostServer site{*net};
    std::vector<int> ports = start_site();
    std::string server = "http://127.0.0.1:" + std::to_string(ports.at(0));
    std::unique_ptr<platform::HttpRequest> req = net->services().http.create_request();
    Recorder events;

    HttpContract() { req->set_events(&events); }

    std::vector<int> start_site()
    {
        std::vector<std::string> command{"/usr/bin/python3",
                                         OM_TEST_SOURCE_DIR "/tests/fixtures/release_site_server/serve_site.py"};
        for (const auto& [option, file] :
             {std::pair{"--root", "root"}, {"--log", "log"}, {"--port-file", "port"}, {"--stop-file", "stop"}})
            command.insert(command.end(), {option, site.host(file)});
        for (const char* fault : {"wrongstart1.bin=wrongstart:1", "broken.bin=reset"})
            command.insert(command.end(), {"--fault", fault});
        return site.start(command, "port");
    }
    // "<path> <User-Agent>[ <Range>]" of every request the server saw, in order.
    std::vector<std::string> requests()
    {
        std::ifstream in(site.local("log"));
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }
    void get(const std::string& url, bool keep = true)
    {
        req->keep_body(keep);
        events = Recorder{};
        req->set_timeouts(2000, 2000, 2000, 2000);
        req->open("GET", url, false);
        req->set_request_header("User-Agent", "MyCustomUser");
        req->send();
    }
};

TEST_F(HttpContract, TextDecodedByTheCharset)
{
    // A body without Content-Length ends with the connection.
    std::ofstream(site.local("root") / "plain.bin", std::ios::binary) << "a\xe9z"; // no charset: the bytes
    for (const auto& [path, text] : {std::pair{"/special/latin1", "caf\xc3\xa9 na\xc3\xafve"},
                                     {"/special/cp1252", "\xe2\x82\xac \xe2\x80\x9cx\xe2\x80\x9d"},
                                     {"/special/utf8", "caf\xc3\xa9"},
                                     {"/plain.bin", "a\xe9z"},
                                     {"/special/nolength", "no length here"}}) {
        get(server + path);
        EXPECT_EQ(req->response_text(), text) << path;
    }
}

TEST_F(HttpContract, FailuresArriveAsTheErrorEvent)
{
    // Nobody listens, a name that never resolves, accepted then nothing: the 2000 ms limits end the
    // last (well before the server's 6 s). A stall mid-body is run by update.sh.
    for (const auto& [url, least_s] : {std::pair{"http://127.0.0.1:" + std::to_string(ports.at(1)) + "/x", 0.0},
                                       {"http://updates.invalid/ombrix.html", 0.0},
                                       {server + "/special/silent", 1.9}}) {
        const auto start = std::chrono::steady_clock::now();
        get(url);
        const double waited = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(events.log, std::vector<std::string>{"error"}) << url;
        EXPECT_GE(waited, least_s) << url;
        EXPECT_LT(waited, 5.0) << url;
    }
}

TEST_F(HttpContract, BrokenDownloadsNeverJoinTwoVersions)
{
    // How the server breaks the file's first answer (see the server's faults): an answer to the resume
    // from another byte ends in an error, never joined on; a body kept whole (the page, the listings) is
    // not resumed. A body cut short, a reset, a stall, no Range or a changed file: update.sh and
    // update_faults.sh resume or start over on both platforms.
    std::string package; // "0123...": no part of it repeats an earlier one at the same length
    for (int i = 0; package.size() < 300000; ++i)
        package += std::to_string(i);
    for (const auto& [name, keep, asked] : {std::tuple{"wrongstart1.bin", false, 4u}, {"broken.bin", true, 1u}}) {
        std::ofstream(site.local("root") / name, std::ios::binary) << package;
        const auto before = requests().size();
        get(server + "/" + name, keep);
        EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "error"})) << name;
        EXPECT_EQ(requests().size() - before, asked) << name;
        EXPECT_NE(events.data, package) << name;
    }
}

} // namespace
} // namespace om::test
