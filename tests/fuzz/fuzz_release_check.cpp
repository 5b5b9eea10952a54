// Hostile responses to a whole check and to a package transfer: statuses, "Content-Length" texts,
// chunkings and bodies, a page body optionally wrapped around the release markers with a fuzzed version.
// The session logic must not crash, and a package it keeps holds exactly the bytes sent, all announced.
#include "download/transfer.hpp"
#include "release/get_new_version.hpp"
#include "support/fake_http.hpp"
#include "support/test_platform.hpp"

#include <charconv>
#include <cstdlib>
#include <fuzzer/FuzzedDataProvider.h>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const char* urls[] = {"http://127.0.0.1/rel/support_files/", "http://127.0.0.1/rel/ombrix.html",
                          "http://127.0.0.1/rel/latest_omexe/", "http://127.0.0.1/rel/pkg.msi"};
    FuzzedDataProvider in(data, size);
    om::test::TestPlatform fakes;
    om::test::FakeHttp http;
    for (const char* url : urls) {
        om::test::FakeResponse& response = http.responses[url];
        response.status = in.ConsumeBool() ? 200 : in.ConsumeIntegral<int>();
        response.no_content_length = in.ConsumeBool();
        if (in.ConsumeBool())
            response.headers["Content-Length"] = in.ConsumeRandomLengthString(30);
        for (int chunks = in.ConsumeIntegralInRange(0, 4); chunks > 0; --chunks)
            response.chunks.push_back(in.ConsumeIntegralInRange<std::size_t>(0, 3000));
        const bool marked = in.ConsumeBool();
        response.body = in.ConsumeRandomLengthString(3000);
        if (marked)
            response.body = "<h1>Ombrix (v." + response.body +
                            ")</h1>New Feature Update<li>om_exe.v.2.1.7.exe</li>"
                            "<li>up_support_a.exe</li>Ombrix Features";
    }
    fakes.http = &http;
    om::platform::Platform services = fakes.services();
    om::Context context{services};
    context.session.install_dir = "C:\\Ombrix\\";
    context.session.site = "127.0.0.1/rel/ombrix.html";
    context.session.installed_version = "2.1.5";
    try {
        om::get_new_version(context);
        const om::test::FakeResponse& package = http.responses[urls[3]];
        om::fetch_to_file(context, "127.0.0.1/rel/pkg.msi", "C:\\Ombrix\\pkg.msi");
        const auto& kept = fakes.files.files["C:\\Ombrix\\pkg.msi"];
        std::size_t sent = package.chunks.empty() ? package.body.size() : 0;
        for (std::size_t chunk : package.chunks)
            sent = std::min(sent + chunk, package.body.size());
        const std::string length = package.no_content_length ? "" : package.headers.at("Content-Length");
        unsigned long long announced = 0;
        const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), announced);
        if (std::string(kept.begin(), kept.end()) != package.body.substr(0, sent) ||
            (error == std::errc{} && end == length.data() + length.size() && kept.size() != announced))
            std::abort();
    } catch (const om::ProgramEnded&) {
    } catch (const std::exception&) {
    }
    return 0;
}
