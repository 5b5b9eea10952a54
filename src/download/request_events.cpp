#include "download/request_events.hpp"

#include "app/context.hpp"
#include "app/do_wait.hpp"
#include "app/window_layout.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "release/listing_parse.hpp"

#include <algorithm>
#include <limits>

namespace om {

using platform::Control;

namespace {

// The byte count "Content-Length" announces: -1 when the header is missing or its leading number is
// negative; LLONG_MAX when the number is past what a long long holds, a length no transfer can meet.
long long announced_length(const std::optional<std::string>& header)
{
    if (!header)
        return -1;
    const double value = text::leading_number(*header);
    if (!(value >= 0))
        return -1;
    constexpr double first_too_large = 9223372036854775808.0; // 2^63
    return value < first_too_large ? static_cast<long long>(value) : std::numeric_limits<long long>::max();
}

long long package_cap(long long expected_bytes)
{
    return expected_bytes >= 0 ? std::min(expected_bytes, package_cap_bytes) : package_cap_bytes;
}

} // namespace

void RequestEvents::on_response_start(long status, const std::string&)
{
    auto& window = context_.platform.window;
    auto& download = context_.download;
    context_.response = Context::Response{status};
    // Each step on its own: a failing step is skipped and the next one runs.
    run_step([&] { window.show(); });
    run_step([&] { context_.yield(); });
    run_step([&] { context_.session.result_code = window.put_on_top(); });

    std::optional<std::string> header;
    run_step([&] { header = context_.req->get_response_header("Content-Length"); });
    const long long length = announced_length(header);
    // A length a long long does not hold leaves the bar as it was; the writer refuses its response.
    const bool usable = length >= 0 && length < std::numeric_limits<long long>::max();
    if (header && !usable)
        log::line("Content-Length \"" + header->substr(0, 40) + "\" is no usable byte count");
    // Noted for the download writer, which refuses a failed or short response.
    download.status = status;
    download.expected_bytes = length;
    run_step([&] {
        if (usable)
            window.set_progress_max(static_cast<float>(length));
    });
}

void RequestEvents::on_response_data(std::span<const std::uint8_t> chunk)
{
    auto& download = context_.download;
    auto& response = context_.response;
    if (response.over_cap)
        return;
    const auto size = static_cast<long long>(chunk.size());
    const long long so_far = download.sink ? download.received_bytes : response.bytes;
    const long long cap = download.sink ? package_cap(download.expected_bytes) : discovery_cap_bytes;
    if (size > cap - so_far) {
        refuse_oversized(cap);
        return;
    }
    response.bytes += size;
    if (download.sink) {
        if (!download.sink->write(chunk))
            download.write_failed = true;
        download.received_bytes += size;
    }
    run_step([&] {
        // The bar keeps single-precision numbers; a chunk that would pass the maximum moves nothing.
        auto& window = context_.platform.window;
        const float value = static_cast<float>(window.progress_value());
        const float next = value + static_cast<float>(chunk.size());
        if (next <= static_cast<float>(window.progress_max())) {
            window.set_progress_value(next);
            context_.yield();
        }
    });
}

void RequestEvents::refuse_oversized(long long cap)
{
    // The transfer ends as a broken one does: a package is refused by its writer, a discovery response
    // fails the check, and nothing of it is kept.
    context_.response.over_cap = true;
    if (context_.download.sink)
        context_.download.write_failed = true;
    log::line("Response stopped: it passes its limit of " + std::to_string(cap) + " bytes");
    run_step([&] { context_.req->abort(); });
}

void RequestEvents::on_response_finished()
{
    Session& s = context_.session;
    if (context_.response.over_cap)
        return; // aborted: a platform that still finishes it gives nothing to use
    // A listing answered with an error status is read as an empty one.
    auto listing = [&] {
        return is_success_status(context_.response.status) ? context_.req->response_text() : std::string();
    };
    if (s.awaiting_support_list) {
        s.awaiting_support_list = false;
        s.support_file.clear();
        s.support_available = false;
        run_step([&] { parse_support_listing(context_, listing()); });
    }
    if (s.awaiting_exe_list) {
        s.listed_exe_name.clear();
        s.awaiting_exe_list = false;
        run_step([&] { parse_exe_listing(context_, listing()); });
    } else if (s.awaiting_page) {
        // The check reads the page itself after its send.
    } else if (!context_.download.sink) {
        // A streamed download has already gone to its sink.
        run_step([&] { s.received_bytes = context_.req->response_body(); });
    }
}

void RequestEvents::on_error(long number, const std::string& description)
{
    log::line("Request failed (" + std::to_string(number) + "): " + description);
    if (number == platform::proxy_credentials_required) {
        // Not a passing fault: the user has to know which proxy wants a user name and password.
        run_step([&] { context_.platform.window.message_box(log::with_path(description)); });
        context_.end_program("a proxy asks for credentials");
    }
    if (context_.session.manual_run) {
        auto& window = context_.platform.window;
        run_step([&] { window.set_top(window.top() - layout::move_up); });
        run_step([&] { window.set_text(Control::Label1, "Internet Connection Error!"); });
        run_step([&] { do_wait(context_, 2.0f); });
    }
    context_.end_program();
}

} // namespace om
