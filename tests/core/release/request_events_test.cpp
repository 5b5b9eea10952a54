#include "download/request_events.hpp"
#include "release/get_new_version.hpp"

#include "release_fixture.hpp"

namespace om {
namespace {

using platform::Control;

// A sink that keeps what it is given, and can be told to fail.
class MemorySink : public platform::FileWriter {
public:
    std::string bytes;
    bool fail = false;
    bool write(std::span<const std::uint8_t> chunk) override
    {
        if (fail)
            return false;
        bytes.append(chunk.begin(), chunk.end());
        return true;
    }
    bool commit() override { return true; }
};

struct Events : test::ReleaseSession {
    const std::string file_url = "http://127.0.0.1/rel/file.bin";

    Events()
    {
        context.req = http.create_request();
        context.req_events = std::make_unique<RequestEvents>(context);
        context.req->set_events(context.req_events.get());
    }
    void fetch(const std::string& url = "http://127.0.0.1/rel/file.bin")
    {
        context.req->open("GET", url, false);
        context.req->send();
    }
    // Replaces the file's response with a body in the given chunks.
    test::FakeResponse& respond(const std::string& body, std::vector<std::size_t> chunks = {})
    {
        auto& response = http.responses[file_url] = test::FakeResponse{};
        response.body = body;
        response.chunks = std::move(chunks);
        return response;
    }
    std::vector<std::string> values() { return fakes.window.entries("value="); }
};

TEST_F(Events, ProgressFollowsTheChunksWithinTheMaximum)
{
    respond(std::string(1000, 'x'), {400, 400, 200});
    fetch();
    EXPECT_EQ(fakes.window.entries("max="), (std::vector<std::string>{"max=1000"}));
    EXPECT_EQ(values(), (std::vector<std::string>{"value=400", "value=800", "value=1000"}));
    EXPECT_EQ(fakes.window.progress_value(), 1000);
    // The window is shown and put on top at the response start.
    EXPECT_EQ(fakes.window.entries("show").size(), 1u);
    EXPECT_EQ(fakes.window.entries("on_top").size(), 1u);
    EXPECT_EQ(std::string(s.received_bytes.begin(), s.received_bytes.end()), std::string(1000, 'x'));

    // A chunk that would pass the maximum moves nothing and processes no messages.
    fakes.window.set_progress_value(0);
    fakes.window.log.clear();
    respond(std::string(1200, 'y')).headers["Content-Length"] = "1000 bytes";
    const int yields_before = fakes.window.yields;
    fetch();
    EXPECT_EQ(values(), std::vector<std::string>{});
    EXPECT_EQ(fakes.window.yields - yields_before, 1); // the one of the response start
    EXPECT_EQ(fakes.window.progress_max(), 1000);
    EXPECT_EQ(s.received_bytes.size(), 1200u);

    // Without "Content-Length" the maximum stays; the value goes on from where it was.
    fakes.window.set_progress_value(900);
    respond(std::string(300, 'z'), {50, 50, 200}).no_content_length = true;
    fetch();
    EXPECT_EQ(fakes.window.progress_max(), 1000);
    EXPECT_EQ(fakes.window.progress_value(), 1000);
    EXPECT_EQ(s.received_bytes.size(), 300u);
    EXPECT_EQ(context.download.expected_bytes, -1);
}

TEST_F(Events, FinishedResponsesGoWhereTheFlagsSay)
{
    http.responses[file_url].body = "first";
    fetch();
    EXPECT_EQ(std::string(s.received_bytes.begin(), s.received_bytes.end()), "first");

    // A finished page leaves the received bytes alone.
    s.awaiting_page = true;
    http.responses[file_url].body = "page";
    fetch();
    EXPECT_EQ(std::string(s.received_bytes.begin(), s.received_bytes.end()), "first");

    // An error page finishes like any other response.
    s.awaiting_page = false;
    respond("gone").status = 404;
    fetch();
    EXPECT_EQ(std::string(s.received_bytes.begin(), s.received_bytes.end()), "gone");
    EXPECT_EQ(context.download.status, 404);
}

TEST_F(Events, StreamedDownloadGoesToTheSinkOnly)
{
    MemorySink sink;
    context.download.sink = &sink;
    s.received_bytes = {1, 2, 3};
    respond("0123456789", {3, 3, 4});
    context.req->keep_body(false);
    fetch();
    EXPECT_EQ(sink.bytes, "0123456789");
    EXPECT_EQ(context.download.received_bytes, 10);
    EXPECT_EQ(context.download.expected_bytes, 10);
    EXPECT_EQ(context.download.status, 200);
    EXPECT_FALSE(context.download.write_failed);
    EXPECT_EQ(s.received_bytes, (std::vector<std::uint8_t>{1, 2, 3}));
    EXPECT_EQ(http.entries("body").size(), 0u);

    sink.fail = true;
    fetch();
    EXPECT_TRUE(context.download.write_failed);
}

TEST_F(Events, ErrorEndsTheProgram)
{
    auto& failing = respond("abc", {1, 1, 1});
    failing.error_event = true;
    failing.chunks_before_error = 1;
    fakes.window.set_top(6000);
    fakes.window.log.clear();
    EXPECT_THROW(fetch(), ProgramEnded);
    EXPECT_EQ(fakes.processes.ended, 1);
    EXPECT_EQ(fakes.window.entries("text").size(), 0u);
    EXPECT_EQ(fakes.window.top(), 6000);
    EXPECT_EQ(fakes.window.waited_ms, 0);

    // With "/manual": the window moves up, shows the message for 2 seconds, then the program ends.
    s.manual_run = true;
    const auto start = fakes.clock.monotonic;
    EXPECT_THROW(fetch(), ProgramEnded);
    EXPECT_EQ(fakes.processes.ended, 2);
    EXPECT_EQ(fakes.window.top(), 3000);
    EXPECT_EQ(label1(), "Internet Connection Error!");
    EXPECT_GE(fakes.clock.monotonic - start, 2000);
    EXPECT_LT(fakes.clock.monotonic - start, 2100);

    // Inside a check, the program ends before anything else happens.
    http.responses[test::page_url].error_event = true;
    EXPECT_THROW(get_new_version(context), ProgramEnded);
    EXPECT_EQ(http.entries("abort").size(), 0u);
}

} // namespace
} // namespace om
