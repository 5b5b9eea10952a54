#include "download/transfer.hpp"

#include "app/context.hpp"
#include "common/regimes.hpp"

namespace om {

namespace {

constexpr int request_timeout_ms = 2000;

// Connects the writer to the transfer events for one send, and takes it away again however the send
// ends, so that no later response is written into it.
class SinkAttachment {
public:
    SinkAttachment(Context& context, std::unique_ptr<platform::FileWriter> writer) : context_(context)
    {
        context_.download = Context::Download{};
        context_.download.sink = writer.get();
        context_.download.sink_owner = std::move(writer);
    }
    ~SinkAttachment()
    {
        context_.download.sink = nullptr;
        // Later requests (a new check) read their bodies again.
        run_step([&] { context_.req->keep_body(true); });
    }
    SinkAttachment(const SinkAttachment&) = delete;
    SinkAttachment& operator=(const SinkAttachment&) = delete;

private:
    Context& context_;
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
