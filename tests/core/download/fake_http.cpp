#include "fake_http.hpp"

#include "common/text.hpp"

#include <numeric>

namespace om::test {

void ScriptedHttpRequest::set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms)
{
    log.push_back("timeouts " + std::to_string(resolve_ms) + " " + std::to_string(connect_ms) + " " +
                  std::to_string(send_ms) + " " + std::to_string(receive_ms));
}

void ScriptedHttpRequest::open(const std::string& method, const std::string& url, bool asynchronous)
{
    log.push_back("open " + method + " " + url + (asynchronous ? " async" : " sync"));
    url_ = url;
}

void ScriptedHttpRequest::set_request_header(const std::string& name, const std::string& value)
{
    log.push_back("header " + name + ": " + value);
}

void ScriptedHttpRequest::keep_body(bool keep)
{
    log.push_back(std::string("keep_body ") + (keep ? "1" : "0"));
    keeps_body = keep;
}

std::optional<std::string> ScriptedHttpRequest::get_response_header(const std::string& name)
{
    if (name != "Content-Length")
        return std::nullopt;
    if (current_.announced) {
        if (!*current_.announced)
            return std::nullopt;
        return std::to_string(**current_.announced);
    }
    std::size_t total = 0;
    for (const auto& chunk : current_.chunks)
        total += chunk.size();
    return std::to_string(total);
}

void ScriptedHttpRequest::send()
{
    log.push_back("send");
    sent_urls.push_back(url_);
    auto it = responses.find(url_);
    current_ = it != responses.end() ? it->second : ScriptedResponse{404, {"<html>404 Not Found</html>"}, {}, false};
    body_.clear();
    if (!events_)
        throw platform::HttpCallFailed("no events");
    events_->on_response_start(current_.status, "application/octet-stream");
    for (const auto& chunk : current_.chunks) {
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(chunk.data());
        if (keeps_body)
            body_.insert(body_.end(), bytes, bytes + chunk.size());
        events_->on_response_data({bytes, chunk.size()});
    }
    if (current_.fails) {
        events_->on_error(12030, "The connection with the server was terminated abnormally");
        throw platform::HttpCallFailed("transfer broken off");
    }
    events_->on_response_finished();
}

void DownloadEvents::on_response_start(long status, const std::string&)
{
    context_.download.status = status;
    auto length = context_.req->get_response_header("Content-Length");
    context_.download.expected_bytes = length ? static_cast<long long>(text::leading_number(*length)) : -1;
}

void DownloadEvents::on_response_data(std::span<const std::uint8_t> chunk)
{
    auto& download = context_.download;
    if (!download.sink)
        return;
    if (!download.sink->write(chunk))
        download.write_failed = true;
    download.received_bytes += static_cast<long long>(chunk.size());
}

void DownloadEvents::on_error(long, const std::string&)
{
    context_.end_program();
}

} // namespace om::test
