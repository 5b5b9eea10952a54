#include "download/transfer.hpp"

#include "app/context.hpp"
#include "common/regimes.hpp"

#include <algorithm>
#include <charconv>
#include <optional>

namespace om {

namespace {

constexpr int request_timeout_ms = 2000;

// The session's handlers of the transfer events, plus the start over of a resumed download that the
// server answered whole: the file and the counts begin again, and the bar goes back by what is void.
class DownloadEvents : public platform::HttpEvents {
public:
    DownloadEvents(Context& context, platform::HttpEvents& session_events)
        : context_(context), session_events_(session_events)
    {
    }
    void on_response_start(long status, const std::string& content_type) override
    {
        session_events_.on_response_start(status, content_type);
    }
    void on_response_data(std::span<const std::uint8_t> chunk) override { session_events_.on_response_data(chunk); }
    void on_response_finished() override { session_events_.on_response_finished(); }
    void on_error(long number, const std::string& description) override
    {
        session_events_.on_error(number, description);
    }
    void on_response_restart() override
    {
        auto& download = context_.download;
        if (download.sink && !download.sink->restart())
            download.write_failed = true;
        run_step([&] {
            auto& window = context_.platform.window;
            const double void_bytes = static_cast<double>(download.received_bytes);
            window.set_progress_value(std::max(0.0, window.progress_value() - void_bytes));
        });
        download.received_bytes = 0;
        download.status = 200;
        // The new answer's own length (the package may have changed on the server).
        download.expected_bytes = -1;
        run_step([&] {
            const std::string length = context_.req->get_response_header("Content-Length").value_or("");
            long long value = -1;
            const auto [end, error] = std::from_chars(length.data(), length.data() + length.size(), value);
            if (error == std::errc() && end == length.data() + length.size() && value >= 0)
                download.expected_bytes = value;
        });
    }

private:
    Context& context_;
    platform::HttpEvents& session_events_;
};

// Connects the writer to the transfer events for one send, and takes it away again however the send
// ends, so that no later response is written into it.
class SinkAttachment {
public:
    SinkAttachment(Context& context, std::unique_ptr<platform::FileWriter> writer) : context_(context)
    {
        context_.download = Context::Download{};
        context_.download.sink = writer.get();
        context_.download.sink_owner = std::move(writer);
        if (context_.req_events) {
            events_.emplace(context_, *context_.req_events);
            context_.req->set_events(&*events_);
        }
    }
    ~SinkAttachment()
    {
        context_.download.sink = nullptr;
        if (events_)
            run_step([&] { context_.req->set_events(context_.req_events.get()); });
        // Later requests (a new check) read their bodies again.
        run_step([&] { context_.req->keep_body(true); });
    }
    SinkAttachment(const SinkAttachment&) = delete;
    SinkAttachment& operator=(const SinkAttachment&) = delete;

private:
    Context& context_;
    std::optional<DownloadEvents> events_;
};

bool response_is_sound(const Context::Download& download)
{
    if (download.status < 200 || download.status > 299)
        return false;
    if (download.write_failed)
        return false;
    return download.expected_bytes < 0 || download.received_bytes == download.expected_bytes;
}

} // namespace

void fetch_to_file(Context& context, const std::string& address, const std::string& path)
{
    if (!context.req)
        throw StepFailed("no request object");
    auto new_writer = context.platform.files.begin_write(path);
    if (!new_writer)
        throw StepFailed("cannot write " + path);
    {
        SinkAttachment attachment(context, std::move(new_writer));
        auto& req = *context.req;
        req.set_timeouts(request_timeout_ms, request_timeout_ms, request_timeout_ms, request_timeout_ms);
        req.open("GET", "http://" + address, false);
        req.set_request_header("User-Agent", "MyCustomUser");
        req.keep_body(false);
        req.send();
    }
    const auto writer = std::move(context.download.sink_owner);
    if (!writer || !response_is_sound(context.download))
        throw StepFailed("unsound response for " + address); // the writer's temporary file goes with it
    if (!writer->commit())
        throw StepFailed("cannot commit " + path);
}

} // namespace om
