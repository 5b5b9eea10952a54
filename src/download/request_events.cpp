#include "download/request_events.hpp"

#include "app/context.hpp"
#include "app/do_wait.hpp"
#include "app/window_layout.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "release/listing_parse.hpp"

namespace om {

using platform::Control;

void RequestEvents::on_response_start(long status, const std::string&)
{
    auto& window = context_.platform.window;
    auto& download = context_.download;
    // Each step on its own: a failing step is skipped and the next one runs.
    run_step([&] { window.show(); });
    run_step([&] { context_.yield(); });
    run_step([&] { context_.session.result_code = window.put_on_top(); });

    std::optional<std::string> length;
    run_step([&] { length = context_.req->get_response_header("Content-Length"); });
    // Noted for the download writer, which refuses a failed or short response.
    download.status = status;
    download.expected_bytes = length ? static_cast<long long>(text::leading_number(*length)) : -1;
    run_step([&] {
        if (length)
            window.set_progress_max(static_cast<float>(text::leading_number(*length)));
    });
}

void RequestEvents::on_response_data(std::span<const std::uint8_t> chunk)
{
    auto& download = context_.download;
    if (download.sink) {
        if (!download.sink->write(chunk))
            download.write_failed = true;
        download.received_bytes += static_cast<long long>(chunk.size());
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

void RequestEvents::on_response_finished()
{
    Session& s = context_.session;
    if (s.awaiting_support_list) {
        s.awaiting_support_list = false;
        s.support_file.clear();
        s.support_available = false;
        run_step([&] { parse_support_listing(context_, context_.req->response_text()); });
    }
    if (s.awaiting_exe_list) {
        s.listed_exe_name.clear();
        s.awaiting_exe_list = false;
        run_step([&] { parse_exe_listing(context_, context_.req->response_text()); });
    } else if (s.awaiting_page) {
        // The check reads the page itself after its send.
    } else if (!context_.download.sink) {
        // A streamed download has already gone to its sink.
        run_step([&] { s.received_bytes = context_.req->response_body(); });
    }
}

void RequestEvents::on_error(long, const std::string&)
{
    if (context_.session.manual_run) {
        auto& window = context_.platform.window;
        run_step([&] { window.set_top(window.top() - layout::move_up); });
        run_step([&] { window.set_text(Control::Label1, "Internet Connection Error!"); });
        run_step([&] { do_wait(context_, 2.0f); });
    }
    context_.end_program();
}

} // namespace om
