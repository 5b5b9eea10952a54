// Hostile responses to a whole check and to a package transfer. The input is up to four responses
// (support listing, page, quick-update listing, package) separated by "\x1e"; each is a line
// "STATUS CONTENT-LENGTH CHUNK,CHUNK,..." ("-" for no length) and the body after it. The session logic
// must not crash, and a package it keeps holds exactly the bytes sent, never more than announced.
#include "download/transfer.hpp"
#include "release/get_new_version.hpp"
#include "support/fake_http.hpp"
#include "support/support.hpp"

#include <algorithm>
#include <charconv>
#include <cstdlib>

namespace {

using om::test::FakeResponse;

FakeResponse parse_response(std::string_view text)
{
    FakeResponse response;
    const std::size_t eol = std::min(text.find('\n'), text.size());
    std::string_view head = text.substr(0, eol);
    response.body = std::string(text.substr(std::min(eol + 1, text.size())));
    auto token = [&] {
        const std::size_t end = std::min(head.find(' '), head.size());
        const std::string_view word = head.substr(0, end);
        head.remove_prefix(std::min(end + 1, head.size()));
        return word;
    };
    const std::string_view status = token();
    std::from_chars(status.data(), status.data() + status.size(), response.status);
    const std::string_view length = token();
    response.no_content_length = length == "-";
    if (!response.no_content_length)
        response.headers["Content-Length"] = std::string(length);
    for (std::size_t chunk = 0; !head.empty();) {
        const std::string_view size = head.substr(0, std::min(head.find(','), head.size()));
        if (std::from_chars(size.data(), size.data() + size.size(), chunk).ec == std::errc{})
            response.chunks.push_back(chunk);
        head.remove_prefix(std::min(size.size() + 1, head.size()));
    }
    return response;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* urls[] = {"http://127.0.0.1/rel/support_files/", "http://127.0.0.1/rel/ombrix.html",
                          "http://127.0.0.1/rel/latest_omexe/", "http://127.0.0.1/rel/pkg.msi"};
    om::test::TestPlatform fakes;
    om::test::FakeHttp http;
    std::string_view input(reinterpret_cast<const char*>(data), size);
    for (const char* url : urls) {
        const std::size_t end = std::min(input.find('\x1e'), input.size());
        http.responses[url] = parse_response(input.substr(0, end));
        input.remove_prefix(std::min(end + 1, input.size()));
    }
    fakes.http = &http;
    om::platform::Platform services = fakes.services();
    om::Context context{services};
    context.session.install_dir = "C:\\Ombrix\\";
    context.session.site = "127.0.0.1/rel/ombrix.html";
    context.session.installed_version = "2.1.5";
    try {
        om::get_new_version(context);
        const FakeResponse& package = http.responses[urls[3]];
        om::fetch_to_file(context, "127.0.0.1/rel/pkg.msi", "C:\\Ombrix\\pkg.msi");
        const auto& kept = fakes.files.files["C:\\Ombrix\\pkg.msi"];
        std::size_t sent = 0;
        for (std::size_t chunk :
             package.chunks.empty() ? std::vector<std::size_t>{package.body.size()} : package.chunks)
            sent = std::min(sent + std::min(chunk, package.body.size()), package.body.size());
        if (std::string(kept.begin(), kept.end()) != package.body.substr(0, sent))
            std::abort();
        const std::string length = package.no_content_length ? "" : package.headers.at("Content-Length");
        unsigned long long announced = 0;
        const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), announced);
        if (error == std::errc{} && end == length.data() + length.size() && announced < (1ULL << 63) &&
            kept.size() != announced)
            std::abort();
    } catch (const om::ProgramEnded&) {
    } catch (const std::exception&) {
    }
    return 0;
}
