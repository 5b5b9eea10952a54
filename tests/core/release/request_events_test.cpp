#include "download/request_events.hpp"
#include "release/get_new_version.hpp"
#include "release/release_request.hpp"

#include "release_fixture.hpp"

namespace om {
namespace {

struct Events : test::ReleaseSession {
    const std::string url = "http://127.0.0.1/rel/file.bin";
    Events() { ensure_request_object(context); }
    // Fetches the file, whose response is `body` in `chunks`, with "Content-Length" `length` ("-": none).
    void fetch(const std::string& body, std::vector<std::size_t> chunks = {}, const std::string& length = "")
    {
        http.responses[url] =
            test::FakeResponse{.body = body, .chunks = chunks, .headers = {}, .no_content_length = length == "-"};
        if (!length.empty() && length != "-")
            http.responses[url].headers["Content-Length"] = length;
        fakes.window.log.clear();
        context.req->open("GET", url, false);
        context.req->send();
    }
    std::string received() { return std::string(s.received_bytes.begin(), s.received_bytes.end()); }
};

TEST_F(Events, ProgressAndRoutingOfFinishedResponses)
{
    fetch(std::string(1000, 'x'), {400, 400, 200});
    EXPECT_EQ(fakes.window.log,
              (std::vector<std::string>{"show", "on_top", "max=1000", "value=400", "value=800", "value=1000"}));
    // A chunk that would pass the maximum moves nothing and processes no messages.
    fakes.window.set_progress_value(0);
    const int yields_before = fakes.window.yields;
    fetch(std::string(1200, 'y'), {}, "1000 bytes");
    EXPECT_EQ(fakes.window.entries("value="), std::vector<std::string>{});
    EXPECT_EQ(fakes.window.yields - yields_before, 1); // the one of the response start
    EXPECT_EQ(received(), std::string(1200, 'y'));
    // Lengths a long long does not hold leave the maximum as it was, the value going on; past its range a
    // length can never be met, and the writer refuses the response.
    for (const std::string length : {"-", "-99999999999999999999", "-5", "99999999999999999999", "9223372036854775807",
                                     "340282366920938463463374607431768211456"}) {
        fakes.window.set_progress_value(900);
        fetch(std::string(300, 'z'), {50, 50, 200}, length);
        EXPECT_EQ(fakes.window.log, (std::vector<std::string>{"show", "on_top", "value=950", "value=1000"})) << length;
        EXPECT_EQ(context.download.expected_bytes, length[0] == '-' ? -1 : 9223372036854775807) << length;
        EXPECT_EQ(received(), std::string(300, 'z')) << length;
    }
    fetch("first");
    s.awaiting_page = true; // a finished page leaves the received bytes alone
    fetch("page");
    EXPECT_EQ(received(), "first");
    s.awaiting_page = false;
    http.responses[url].status = 404; // an error page finishes like any other response
    context.req->send();
    EXPECT_EQ(received(), "page");
    EXPECT_EQ(context.download.status, 404);
}

TEST_F(Events, StreamedDownloadGoesToTheSinkOnlyWithinItsLength)
{
    struct Case {
        const char *body, *length;
        bool unwritable;
        const char *written, *last;
    };
    // Past its announced length a transfer is aborted at the chunk that passes it, that chunk unwritten.
    for (const Case& c : {Case{"0123456789", "", false, "0123456789", "finished"},
                          {"0123456789AB", "10", false, "0123456789", "abort"},
                          {"0123456789", "", true, "", "finished"}}) {
        if (c.unwritable)
            fakes.files.unwritable.insert("C:\\file.bin");
        auto writer = fakes.files.begin_write("C:\\file.bin");
        context.download = Context::Download{};
        context.download.sink = writer.get();
        context.req->keep_body(false);
        s.received_bytes = {1, 2, 3};
        fetch(c.body, {5, 5, 2}, c.length);
        writer->commit();
        const auto& file = fakes.files.files["C:\\file.bin"];
        EXPECT_EQ(std::string(file.begin(), file.end()), c.written) << c.body;
        EXPECT_EQ(context.download.received_bytes, 10);
        EXPECT_EQ(context.download.expected_bytes, 10);
        EXPECT_EQ(context.download.write_failed, std::string(c.written) != c.body) << c.body;
        EXPECT_EQ(http.log.back(), c.last);
        EXPECT_EQ(s.received_bytes, (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(http.entries("body").size(), 0u);
    }
}

TEST_F(Events, ErrorEndsTheProgram)
{
    http.responses[url] = test::FakeResponse{
        .body = "abc", .chunks = {1, 1, 1}, .headers = {}, .error_event = true, .chunks_before_error = 1};
    fakes.window.set_top(6000);
    context.req->open("GET", url, false);
    EXPECT_THROW(context.req->send(), ProgramEnded);
    EXPECT_EQ(fakes.processes.ended, 1);
    EXPECT_EQ(fakes.window.entries("text").size(), 0u);
    EXPECT_EQ(fakes.window.top(), 6000);
    EXPECT_EQ(fakes.window.waited_ms, 0);

    // With "/manual": the window moves up, shows the message for 2 seconds, then the program ends.
    s.manual_run = true;
    const auto start = fakes.clock.monotonic;
    EXPECT_THROW(context.req->send(), ProgramEnded);
    EXPECT_EQ(fakes.window.top(), 3000);
    EXPECT_EQ(label1(), "Internet Connection Error!");
    EXPECT_NEAR(fakes.clock.monotonic - start, 2050, 50);

    // Inside a check, the program ends before anything else happens.
    http.responses[test::page_url].error_event = true;
    EXPECT_THROW(get_new_version(context), ProgramEnded);
    EXPECT_EQ(http.entries("abort").size(), 0u);
}

} // namespace
} // namespace om
