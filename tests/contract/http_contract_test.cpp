// The request object's contract, the same on every platform: events in order on the calling thread
// before send() returns, the body, headers and text, and failures through the error event.
#include "contract/http_fixture.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <utility>

namespace om::test {
namespace {

struct Recorder : platform::HttpEvents {
    std::vector<std::string> log;
    long status = -1;
    std::string content_type;
    std::string data;
    std::size_t chunks = 0;
    std::function<void()> on_data;
    std::function<void()> on_finished;
    void on_response_start(long s, const std::string& type) override
    {
        log.push_back("start");
        status = s;
        content_type = type;
    }
    void on_response_data(std::span<const std::uint8_t> chunk) override
    {
        if (log.empty() || log.back() != "data")
            log.push_back("data");
        data.append(chunk.begin(), chunk.end());
        ++chunks;
        if (on_data)
            on_data();
    }
    void on_response_finished() override
    {
        log.push_back("finished");
        if (on_finished)
            std::exchange(on_finished, nullptr)();
    }
    void on_error(long, const std::string& description) override
    {
        log.push_back("error");
        error = description;
    }
    void on_response_restart() override
    {
        log.push_back("restart");
        data.clear();
    }
    std::string error;
};

struct HttpContract : ::testing::Test {
    std::unique_ptr<HttpFixture> fixture = make_http_fixture();
    std::unique_ptr<platform::HttpRequest> req = fixture->http().create_request();
    Recorder events;

    HttpContract() { req->set_events(&events); }

    void get(const std::string& url, bool keep = true)
    {
        req->keep_body(keep);
        events = Recorder{};
        req->set_timeouts(2000, 2000, 2000, 2000);
        req->open("GET", url, false);
        req->set_request_header("User-Agent", "MyCustomUser");
        req->send();
    }
    std::string text_of(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }
};

using Seconds = std::chrono::duration<double>;

TEST_F(HttpContract, EventsInOrderWithTheWholeBody)
{
    get(fixture->server() + "/special/chunks");
    EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "finished"}));
    EXPECT_EQ(events.status, 200);
    EXPECT_EQ(events.content_type, "application/octet-stream");
    EXPECT_EQ(events.data, std::string(1000, 'a') + std::string(1000, 'b') + std::string(1000, 'c'));
    EXPECT_GE(events.chunks, 3u); // sent in three parts with pauses between them
    EXPECT_EQ(text_of(req->response_body()), events.data);
    EXPECT_EQ(req->get_response_header("Content-Length"), "3000");
    EXPECT_EQ(req->get_response_header("content-length"), "3000");
    EXPECT_EQ(req->get_response_header("X-Not-There"), std::nullopt);

    // A large body arrives whole and in order; the request object is reused.
    get(fixture->server() + "/special/bytes/3000000");
    ASSERT_EQ(events.data.size(), 3000000u);
    bool pattern = true;
    for (std::size_t i = 0; i < events.data.size(); ++i)
        pattern = pattern && static_cast<std::uint8_t>(events.data[i]) == i % 251;
    EXPECT_TRUE(pattern);
    EXPECT_EQ(req->response_body().size(), 3000000u);

    // An error page is a response like any other.
    get(fixture->server() + "/special/missing");
    EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "finished"}));
    EXPECT_EQ(events.status, 404);
    EXPECT_EQ(req->response_text(), "<h1>Not here</h1>");

    // The server's own folder listing.
    std::filesystem::create_directories(fixture->root() / "latest_omexe");
    std::ofstream(fixture->root() / "latest_omexe" / "om_exe.v.2.1.6.exe") << "x";
    get(fixture->server() + "/latest_omexe/");
    EXPECT_NE(req->response_text().find("om_exe.v.2.1.6.exe"), std::string::npos);

    // Without Content-Length the body ends with the connection.
    get(fixture->server() + "/special/nolength");
    EXPECT_EQ(req->response_text(), "no length here");
    EXPECT_EQ(req->get_response_header("Content-Length"), std::nullopt);

    // The server saw each request with the User-Agent set.
    EXPECT_EQ(fixture->requests(),
              (std::vector<std::string>{"/special/chunks MyCustomUser", "/special/bytes/3000000 MyCustomUser",
                                        "/special/missing MyCustomUser", "/latest_omexe/ MyCustomUser",
                                        "/special/nolength MyCustomUser"}));
}

TEST_F(HttpContract, TextDecodedByTheCharset)
{
    get(fixture->server() + "/special/latin1");
    EXPECT_EQ(req->response_text(), "caf\xc3\xa9 na\xc3\xafve");
    EXPECT_EQ(req->response_body().size(), 10u);
    get(fixture->server() + "/special/cp1252");
    EXPECT_EQ(req->response_text(), "\xe2\x82\xac \xe2\x80\x9cx\xe2\x80\x9d");
    get(fixture->server() + "/special/utf8");
    EXPECT_EQ(req->response_text(), "caf\xc3\xa9");
    // No charset: the bytes as they came.
    std::ofstream(fixture->root() / "plain.bin", std::ios::binary) << "a\xe9z";
    get(fixture->server() + "/plain.bin");
    EXPECT_EQ(req->response_text(), "a\xe9z");
}

TEST_F(HttpContract, OneRequestAtATimeAndHandlerFailuresReachTheSender)
{
    struct Stop {};
    bool refused_second = false;
    events.on_data = [&] {
        try {
            req->send();
        } catch (const platform::HttpCallFailed&) {
            refused_second = true;
        }
    };
    req->open("GET", fixture->server() + "/special/bytes/10", false);
    req->send();
    EXPECT_TRUE(refused_second);

    // Whatever a handler throws leaves send() as it is (the end of the program must get through).
    events.on_data = [] { throw Stop{}; };
    req->open("GET", fixture->server() + "/special/bytes/10", false);
    EXPECT_THROW(req->send(), Stop);
    events.on_data = nullptr;
    get(fixture->server() + "/special/bytes/10");
    EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "finished"}));

    // Once finished, the transfer is over: the finished handler may send the next request.
    events.log.clear();
    events.on_finished = [&] {
        req->open("GET", fixture->server() + "/special/bytes/20", false);
        req->send();
    };
    req->open("GET", fixture->server() + "/special/bytes/10", false);
    req->send();
    EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "finished", "start", "data", "finished"}));
    EXPECT_EQ(req->response_body().size(), 20u);
}

TEST_F(HttpContract, FailuresArriveAsTheErrorEvent)
{
    get(fixture->refused() + "/x");
    EXPECT_EQ(events.log, std::vector<std::string>{"error"});

    get("http://updates.invalid/ombrix.html");
    EXPECT_EQ(events.log, std::vector<std::string>{"error"});

    // Accepted, then nothing; and some data, then a stall: the 2000 ms limit ends each (well before
    // the server's 6 s).
    const std::pair<std::string, std::vector<std::string>> silent[] = {{"/special/silent", {"error"}},
                                                                       {"/special/stall", {"start", "data", "error"}}};
    for (const auto& [path, log] : silent) {
        const auto start = std::chrono::steady_clock::now();
        get(fixture->server() + path);
        const auto waited = Seconds(std::chrono::steady_clock::now() - start).count();
        EXPECT_EQ(events.log, log) << path;
        EXPECT_GE(waited, 1.9) << path;
        EXPECT_LT(waited, 5.0) << path;
    }
    EXPECT_EQ(events.data, std::string(100, 'x'));
}

TEST_F(HttpContract, BrokenDownloadsResumeAndNeverJoinTwoVersions)
{
    std::string package(300000, '\0');
    for (std::size_t i = 0; i < package.size(); ++i)
        package[i] = static_cast<char>(i % 253);
    // How the server breaks the package's first answer (see the fixture's faults), and the events the
    // sender sees; after a restart the data are those since the restart.
    const struct {
        std::string name;
        std::vector<std::string> log;
        std::size_t requests;
    } cases[] = {
        {"reset1.bin", {"start", "data", "finished"}, 2},
        {"stall1.bin", {"start", "data", "finished"}, 2},
        {"short1.bin", {"start", "data", "finished"}, 2},
        {"norange1.bin", {"start", "data", "restart", "data", "finished"}, 2},
        {"changed1.bin", {"start", "data", "restart", "data", "finished"}, 2},
        {"wrongstart1.bin", {"start", "data", "error"}, 4},
        {"broken.bin", {"start", "data", "error"}, 4},
    };
    for (const auto& c : cases) {
        std::ofstream(fixture->root() / c.name, std::ios::binary) << package;
        const auto before = fixture->requests().size();
        get(fixture->server() + "/" + c.name, false);
        EXPECT_EQ(events.log, c.log) << c.name;
        const auto seen = fixture->requests();
        ASSERT_EQ(seen.size() - before, c.requests) << c.name;
        // Each resume asks for the rest, guarded by the first answer's version.
        for (std::size_t i = before + 1; i < seen.size(); ++i)
            EXPECT_EQ(seen[i].rfind("/" + c.name + " MyCustomUser bytes=", 0), 0u) << seen[i];
        EXPECT_EQ(events.data == package, c.log.back() == "finished") << c.name << ": " << events.data.size();
        EXPECT_TRUE(req->response_body().empty()) << c.name; // streamed, not kept
    }
    // The page and the listings are not resumed.
    const auto before = fixture->requests().size();
    get(fixture->server() + "/broken.bin", true);
    EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "error"}));
    EXPECT_EQ(fixture->requests().size(), before + 1);
}

TEST_F(HttpContract, TheUsersProxy)
{
    const std::string proxy = fixture->server().substr(7);
    fixture->use_proxy(proxy, "<local>;bypassed.invalid");
    req = fixture->http().create_request();
    req->set_events(&events);
    // Through the proxy, which resolves names (also those that never resolve on their own).
    get("http://site.invalid:8080/special/bytes/10");
    EXPECT_EQ(events.log, (std::vector<std::string>{"start", "data", "finished"}));
    get("http://site.invalid:8080/auth407/ombrix.html");
    EXPECT_EQ(events.log, std::vector<std::string>{"error"});
    EXPECT_NE(events.error.find("proxy " + proxy), std::string::npos) << events.error;
    EXPECT_NE(events.error.find("407"), std::string::npos) << events.error;
    // The bypass list: direct, so these names are refused at once.
    for (const std::string host : {"www.bypassed.invalid", "invalid"}) {
        get("http://" + host + "/special/bytes/10");
        EXPECT_EQ(events.log, std::vector<std::string>{"error"}) << host;
    }
    fixture->use_proxy("", "");
    EXPECT_EQ(fixture->requests(),
              (std::vector<std::string>{"http://site.invalid:8080/special/bytes/10 MyCustomUser",
                                        "http://site.invalid:8080/auth407/ombrix.html MyCustomUser"}));
}

} // namespace
} // namespace om::test
