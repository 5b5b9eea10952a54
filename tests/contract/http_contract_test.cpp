// The request object's contract, the same on every platform: events in order on the calling thread
// before send() returns, the body, headers and text, and failures through the error event.
#include "contract/platform_fixture.hpp"

#include <gtest/gtest.h>

#include <functional>

namespace om::test {
namespace {

// The events in order, each run of data chunks noted once.
struct Recorder : platform::HttpEvents {
    std::vector<std::string> log;
    long status = -1;
    std::string data;
    std::size_t chunks = 0;
    std::function<void()> on_data;
    void note(const std::string& event)
    {
        if (log.empty() || log.back() != event)
            log.push_back(event);
    }
    void on_response_start(long code, const std::string&) override
    {
        note("start");
        status = code;
    }
    void on_response_data(std::span<const std::uint8_t> chunk) override
    {
        note("data");
        data.append(chunk.begin(), chunk.end());
        ++chunks;
        if (on_data)
            on_data();
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
        for (const char* fault : {"short1.bin=short:1", "wrongstart1.bin=wrongstart:1", "broken.bin=reset"})
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

TEST_F(HttpContract, EventsInOrderWithTheWholeBody)
{
    // An error page is a response like any other; without Content-Length the body ends with the
    // connection. The request object is reused. (Whole packages are compared by the update tests.)
    const struct {
        std::string path;
        long status;
        std::string body;
        std::optional<std::string> length;
    } cases[] = {
        {"/special/missing", 404, "<h1>Not here</h1>", "17"},
        {"/special/nolength", 200, "no length here", std::nullopt},
        {"/special/chunks", 200, std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c'), "3000"}};
    for (const auto& c : cases) {
        get(server + c.path);
        EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "finished"})) << c.path;
        EXPECT_EQ(events.status, c.status) << c.path;
        const auto body = req->response_body();
        EXPECT_TRUE(events.data == c.body && std::string(body.begin(), body.end()) == c.body) << c.path;
        EXPECT_EQ(req->get_response_header("content-length"), c.length) << c.path;
    }
    EXPECT_GE(events.chunks, 3u); // sent in three parts with pauses between them
}

TEST_F(HttpContract, TextDecodedByTheCharset)
{
    std::ofstream(site.local("root") / "plain.bin", std::ios::binary) << "a\xe9z"; // no charset: the bytes
    for (const auto& [path, text] : {std::pair{"/special/latin1", "caf\xc3\xa9 na\xc3\xafve"},
                                     {"/special/cp1252", "\xe2\x82\xac \xe2\x80\x9cx\xe2\x80\x9d"},
                                     {"/special/utf8", "caf\xc3\xa9"},
                                     {"/plain.bin", "a\xe9z"}}) {
        get(server + path);
        EXPECT_EQ(req->response_text(), text) << path;
    }
}

TEST_F(HttpContract, WhateverAHandlerThrowsLeavesSendAsItIs)
{
    // The end of the program must get through the platform's own callbacks.
    struct Stop {};
    events.on_data = [] { throw Stop{}; };
    req->open("GET", server + "/special/bytes/10", false);
    EXPECT_THROW(req->send(), Stop);
    events.on_data = nullptr;
    get(server + "/special/bytes/10");
    EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "finished"}));
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
    // A port out of range is refused when the request is opened, with no request.
    EXPECT_THROW(req->open("GET", "http://127.0.0.1:99999/ombrix.html", false), platform::HttpCallFailed);
    EXPECT_EQ(requests().size(), 1u); // only the silent one reached the server
}

TEST_F(HttpContract, BrokenDownloadsResumeAndNeverJoinTwoVersions)
{
    // How the server breaks the file's first answer (see the server's faults): a short body is resumed;
    // an answer to the resume from another byte ends in an error, never joined on; a body kept whole
    // (the page, the listings) is not resumed. After a reset, a stall, without Range or after a change,
    // update.sh and update_faults.sh resume or start over on both platforms.
    std::string package; // "0123...": no part of it repeats an earlier one at the same length
    for (int i = 0; package.size() < 300000; ++i)
        package += std::to_string(i);
    const struct {
        std::string name;
        bool keep;
        std::vector<std::string> log;
        std::size_t requests;
    } cases[] = {{"short1.bin", false, {"start", "data", "finished"}, 2},
                 {"wrongstart1.bin", false, {"start", "data", "error"}, 4},
                 {"broken.bin", true, {"start", "data", "error"}, 1}};
    for (const auto& c : cases) {
        std::ofstream(site.local("root") / c.name, std::ios::binary) << package;
        const auto before = requests().size();
        get(server + "/" + c.name, c.keep);
        EXPECT_EQ(events.log, c.log) << c.name;
        const auto seen = requests();
        ASSERT_EQ(seen.size() - before, c.requests) << c.name;
        EXPECT_EQ(events.data == package, c.log.back() == "finished") << c.name << ": " << events.data.size();
    }
}

} // namespace
} // namespace om::test
