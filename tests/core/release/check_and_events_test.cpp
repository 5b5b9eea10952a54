#include "common/text.hpp"
#include "download/request_events.hpp"
#include "download/transfer.hpp"
#include "release/get_new_version.hpp"
#include "release/release_request.hpp"

#include "release_fixture.hpp"
#include "support/captured_log.hpp"

#include <functional>

namespace om {
namespace {

using namespace test;
using Strings = std::vector<std::string>;

struct Check : ReleaseSession {
    const std::string url = "http://127.0.0.1/rel/file.bin";
    Check() { ensure_request_object(context); }
    // Serves the file as `body` in `chunks`, with "Content-Length" `length` ("": the body's size, "-": none).
    void serve(const std::string& body, std::vector<std::size_t> chunks, const std::string& length = "")
    {
        http.responses[url] = {.body = body, .chunks = chunks, .no_content_length = length == "-"};
        if (!length.empty() && length != "-")
            http.responses[url].headers["Content-Length"] = length;
    }
    void fetch(const std::string& body, std::vector<std::size_t> chunks = {}, const std::string& length = "")
    {
        serve(body, chunks, length);
        fakes.window.log.clear();
        context.req->open("GET", url, false);
        context.req->send();
    }
    std::string received() { return std::string(s.received_bytes.begin(), s.received_bytes.end()); }
};

const std::string up_to_date = "Congratulations you have the latest version of Ombrix! The Web version is Ombrix v.";

// Three requests with the fixed settings read a page of exactly the size limit, in one tag-free run and in
// many small tags (a recursive markup engine would overflow its stack here), whose length no long long holds.
TEST_F(Check, ThreeRequestsInOrderWithTheFixedSettingsReadAPageOfTheSizeLimit)
{
    http.responses[page_url].headers["Content-Length"] = "9223372036854775807";
    std::string& page = http.responses[page_url].body;
    page.resize(discovery_cap_bytes, 'a');
    for (std::size_t i = page.size() / 2; i + 8 < page.size(); i += 1000)
        page.replace(i, 8, "<b>x</b>");
    http.responses[page_url].chunks = {1000, discovery_cap_bytes};
    EXPECT_EQ(get_new_version(context), "v.2.1.5");
    Strings calls;
    for (const std::string& address : {support_url, page_url, exe_url})
        calls.insert(calls.end(), {"timeouts 2000 2000 2000 2000", "open GET " + address + " false",
                                   "header User-Agent: MyCustomUser", "keep_body 1"});
    EXPECT_EQ(http.log, calls);
    EXPECT_FALSE(s.awaiting_support_list || s.awaiting_page || s.awaiting_exe_list);
    EXPECT_EQ(fakes.window.text(platform::Control::RichTextBox1), "New Feature Update \n\r> faster \n\r> smaller ");
    EXPECT_EQ(label1(), up_to_date + "2.1.5 <msi>.");
}

// Checks run in turn in one session, as repeated checks do. `on` names what is on offer afterwards.
TEST_F(Check, PageAndListingsDecideWhatIsOffered)
{
    const std::string evil_support = "up_support/../../evil.exe", evil_exe = "om_exe.v.2.1.6\\..\\..\\evil.exe";
    const std::array<std::string, 8> cases[] = {
        {"2.1.4", "(v.2.1.5)", "", "", "", "v.2.1.5", "v2.1.5", "msi"},
        {"2.1.4", "(v.2.1.5 abcdefghij)", "", "", "", "v.2.1.5 abcdefghij", "v2.1.5abcdefghij", "msi"}, // ")" 20th
        {"2.1.4", "version two", "", "", "", "", "", ""},
        {"", "(v.2.1.5)", "", "om_exe.v.2.1.6.exe", "", "", "", ""},
        {"2.1.4", "(v.2.1.5)", "", "om_exe.v.2.1.5.exe", "", "v.2.1.5", "v2.1.5", "msi exe"},
        {"2.1.5", "(v.2.1.5)", "", "om_exe.v.2.1.6.exe", "", "v.2.1.5", "v2.1.5", "exe"},
        {"2.1.5", "(v.2.1.5)", "", "om_exe.v.2.1.6.exe", "om_exe.v.2.1.6.exe", "v.2.1.5", "v2.1.5", ""},
        {"2.1.5", "(v.2.1.5)", "", "om_exe.v.2.1.3.exe", "", "v.2.1.5", "v2.1.5", ""},
        {"2.1.5", "(v.2.1.5)", "", "om_exe.v.2.1.12345678901.exe", "", "v.2.1.5", "v2.1.5", ""}, // window ends early
        {"2.1.4", "(v.2.1.5)", "up_support_a.exe", "", "", "v.2.1.5", "v2.1.5", "msi support"},
        {"2.1.4", "(v.2.1.5)", "up_support_a.exe", "", "up_support_a.exe", "v.2.1.5", "v2.1.5", "msi"},
        {"2.1.4", "(v.2.1.4)", evil_support, evil_exe, "", "v.2.1.4", "v2.1.4", ""}};
    for (const auto& [installed, marker, support, exe, installed_package, result, msi, on] : cases) {
        s.installed_version = installed;
        site(marker, support, exe);
        if (!installed_package.empty())
            fakes.files.files["C:\\Ombrix\\" + installed_package + ".completed"] = {};
        const std::string row = installed + " " + marker + " " + support + " " + exe;
        EXPECT_EQ(get_new_version(context), result) << row;
        EXPECT_EQ(s.msi_address, "127.0.0.1/rel/ombrix32_" + msi + ".msi") << row;
        EXPECT_EQ(s.msi_available, text::contains(on, "msi")) << row;
        EXPECT_EQ(s.exe_available, text::contains(on, "exe")) << row;
        EXPECT_EQ(s.support_available, text::contains(on, "support")) << row;
        EXPECT_EQ(s.support_file, on == "msi support" ? "up_support_a.exe" : "") << row;
        EXPECT_EQ(s.exe_address, "127.0.0.1/rel//latest_omexe/" + (exe == evil_exe ? "" : exe)) << row;
    }
    EXPECT_EQ(s.exe_version_parts, (std::array<std::int16_t, 3>{2, 1, 3}));
    // After the support listing, with no other flag set, its body is also kept as received bytes.
    EXPECT_EQ(received(), http.responses[support_url].body);
}

// A check that fails says why in Label1, aborts the request in flight and makes no decision.
TEST_F(Check, FailedCheckSaysWhyAndGoesNoFurther)
{
    const std::string page = "The release page 127.0.0.1/rel/ombrix.html ",
                      no_info = page + "holds no release information.";
    const std::string big(discovery_cap_bytes + 1, ' ');
    auto& responses = http.responses;
    const std::pair<std::function<void()>, std::string> cases[] = {
        {[&] { site("(v.2.1.5 abcdefghijk)", "", ""); }, no_info}, // ")" the 21st character
        {[&] { responses[page_url].body = "<p>(v.2.1.5)</p><p>Ombrix Features</p>"; }, no_info},
        {[&] { responses[page_url].body = "Ombrix Features (v.2.1.5) New Feature Update"; }, no_info},
        {[&] { site("(v.2.1.6/x)", "", ""); }, no_info},
        {[&] { s.installed_version = "2"; }, "The check for updates could not be completed."},
        {[&] { responses[support_url].send_throws = true; },
         "The listing 127.0.0.1/rel/support_files/ could not be read."},
        {[&] { responses[page_url].status = 404; }, page + "could not be read (HTTP 404)."},
        {[&] { site("", "up_support_a.exe", ""), responses[support_url].status = 404, responses[page_url].body = "x"; },
         no_info + " The listing 127.0.0.1/rel/support_files/ answered HTTP 404."},
        {[&] { responses[page_url].body = big; }, page + "could not be read (larger than 4 MB)."},
        {[&] {
             responses[exe_url] = {.body = big, .chunks = {9, big.size()}};
         },
         "The listing 127.0.0.1/rel/latest_omexe/ could not be read (larger than 4 MB)."}};
    for (const auto& [setup, label] : cases) {
        responses.clear();
        site("(v.2.1.5)", "", "");
        s.installed_version = "2.1.5";
        setup();
        http.log.clear();
        s.awaiting_page = s.awaiting_exe_list = true;
        test::CapturedLog log;
        EXPECT_EQ(get_new_version(context), "") << label;
        EXPECT_EQ(log.has("Response stopped: it passes its limit of " + std::to_string(discovery_cap_bytes) + " bytes"),
                  label.ends_with("(larger than 4 MB)."))
            << log.text();
        EXPECT_EQ(http.log.back(), "abort") << label; // the last call: nothing of the response is kept
        EXPECT_FALSE(s.awaiting_page || s.awaiting_exe_list || s.msi_available || s.support_available) << label;
        EXPECT_EQ(label1(), label);
    }
}

TEST_F(Check, ProgressAndRoutingOfFinishedResponses)
{
    // From 900 of 1000, chunks of 50, 50 and 200: the last would pass the maximum, so it moves nothing and
    // processes no messages. A length a long long does not hold leaves the maximum as it was, the value
    // going on; past its range a length can never be met, and the writer refuses the response.
    for (const std::string length : {"1000 bytes", "-", "-99999999999999999999", "-5", "99999999999999999999",
                                     "9223372036854775807", "340282366920938463463374607431768211456"}) {
        const bool usable = length == "1000 bytes";
        fakes.window.set_progress_value(900);
        const int yields_before = fakes.window.yields;
        test::CapturedLog log;
        fetch(std::string(300, 'z'), {50, 50, 200}, length);
        EXPECT_EQ(log.has("Content-Length \"" + length + "\" is no usable byte count"), !usable && length != "-")
            << log.text();
        EXPECT_EQ(fakes.window.log, (usable ? Strings{"show", "on_top", "max=1000", "value=950", "value=1000"}
                                            : Strings{"show", "on_top", "value=950", "value=1000"}));
        EXPECT_EQ(fakes.window.yields - yields_before, 3) << length; // the response start's and one per move
        EXPECT_EQ(context.download.expected_bytes, usable ? 1000 : length[0] == '-' ? -1 : 9223372036854775807);
    }
    s.awaiting_page = true; // a finished page leaves the received bytes alone
    fetch("page");
    EXPECT_EQ(received(), std::string(300, 'z'));
    s.awaiting_page = false;
    http.responses[url].status = 404; // an error page finishes like any other response
    context.req->send();
    EXPECT_EQ(received(), "page");
}

TEST_F(Check, DownloadGoesToItsFileOnlyWhenWholeAndWithinItsLength)
{
    // Served in a chunk of 4 and one of 10, with "Content-Length" `length` ("": the body's size, "-":
    // none); `restart`: the server answers a resumed download whole after the first chunk. Past its
    // announced length a transfer is aborted at the chunk that passes it.
    // `disk`: "full" fails every write, "busy" cannot be emptied for the server's start over.
    const std::tuple<long, std::string, std::string, bool, std::string, std::string, double> cases[] = {
        {200, "0123456789", "", false, "", "0123456789", 10},
        {200, "0123456789AB", "10", false, "", "", 4},
        {200, "0123456789", "", false, "full", "", 10},
        {200, "x", "0", false, "", "", 0},
        {404, "<html>", "", false, "", "", 6},
        {0, "x", "", false, "", "", 1},
        {200, "0123456789", "", true, "", "0123456789", 10},
        {200, "0123456789", "-", true, "", "0123456789", 10},
        {200, "0123456789", "", true, "busy", "", 10},
        {200, "0123456789", "12", true, "", "", 10}};
    for (const auto& [status, body, length, restart, disk, kept, progress] : cases) {
        SCOPED_TRACE(body + " " + length + " " + std::to_string(restart) + " " + disk);
        fakes.files.files.clear();
        fakes.files.unwritable = {disk == "full" ? "C:\\file.bin" : ""};
        fakes.files.unrestartable = {disk == "busy" ? "C:\\file.bin" : ""};
        serve(body, {4, 10}, length);
        http.responses[url].status = status;
        http.responses[url].restart_after = restart ? 1 : -1;
        http.log.clear();
        s.received_bytes = {1, 2, 3};
        fakes.window.set_progress_value(0);
        if (kept.empty())
            EXPECT_THROW(fetch_to_file(context, "127.0.0.1/rel/file.bin", "C:\\file.bin"), StepFailed);
        else
            EXPECT_NO_THROW(fetch_to_file(context, "127.0.0.1/rel/file.bin", "C:\\file.bin"));
        EXPECT_EQ(fakes.files.content("C:\\file.bin"), kept);
        EXPECT_EQ(fakes.window.progress_value(), progress);
        EXPECT_EQ(s.received_bytes, (std::vector<std::uint8_t>{1, 2, 3}));
        EXPECT_EQ(http.entries("abort").size(), progress < static_cast<double>(body.size()) ? 1u : 0u);
    }
    EXPECT_EQ(http.log.back(), "keep_body 1"); // later requests read their bodies again
}

TEST_F(Check, ErrorEndsTheProgram)
{
    http.responses[url] = {.body = "abc", .chunks = {1, 1, 1}, .error_after = 1};
    context.req->open("GET", url, false);
    EXPECT_THROW(context.req->send(), ProgramEnded);
    EXPECT_EQ(fakes.window.entries("text").size(), 0u); // without "/manual", nothing is shown

    // With "/manual": the window moves up, shows the message for 2 seconds, then the program ends.
    s.manual_run = true;
    EXPECT_THROW(context.req->send(), ProgramEnded);
    EXPECT_EQ(fakes.window.top(), -3000);
    EXPECT_EQ(label1(), "Internet Connection Error!");
    EXPECT_EQ(fakes.window.waited_ms, 2000);

    // Inside a check, the program ends before anything else happens.
    http.responses[page_url].error_after = 0;
    EXPECT_THROW(get_new_version(context), ProgramEnded);

    // A proxy that wants a password is named in a message box that ends with the log's path.
    test::CapturedLog log;
    const std::string proxy = "The proxy 127.0.0.1:3128 asks for a user name and password (HTTP 407).";
    EXPECT_THROW(context.req_events->on_error(platform::proxy_credentials_required, proxy), ProgramEnded);
    EXPECT_EQ(fakes.window.entries("box"), Strings{"box " + proxy + "\r\n\r\nLog: " + log.path()});
    EXPECT_TRUE(log.has("End: a proxy asks for credentials")) << log.text();
}

} // namespace
} // namespace om
