#include "support/fake_http.hpp"

#include <algorithm>
#include <stdexcept>

namespace om::test {
namespace {

class FakeHttpRequest : public platform::HttpRequest {
public:
    explicit FakeHttpRequest(FakeHttp& http) : http_(http) {}

    void set_events(platform::HttpEvents* events) override { events_ = events; }
    void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override
    {
        http_.log.push_back("timeouts " + std::to_string(resolve_ms) + " " + std::to_string(connect_ms) + " " +
                            std::to_string(send_ms) + " " + std::to_string(receive_ms));
    }
    void open(const std::string& method, const std::string& url, bool asynchronous) override
    {
        http_.log.push_back("open " + method + " " + url + (asynchronous ? " true" : " false"));
        url_ = url;
    }
    void set_request_header(const std::string& name, const std::string& value) override
    {
        http_.log.push_back("header " + name + ": " + value);
    }
    void keep_body(bool keep) override
    {
        http_.log.push_back(std::string("keep_body ") + (keep ? "1" : "0"));
        keep_ = keep;
    }
    void send() override
    {
        if (!events_) // a request object whose events were never set up fails the test instead of crashing it
            throw std::logic_error("send() on a request without events");
        const auto found = http_.responses.find(url_);
        now_ = found != http_.responses.end() ? found->second : FakeResponse{.status = 404, .body = "not found"};
        if (now_.send_throws)
            throw platform::HttpCallFailed("send failed");
        if (!now_.no_content_length)
            now_.headers.try_emplace("Content-Length", std::to_string(now_.body.size()));
        if (now_.chunks.empty() && !now_.body.empty())
            now_.chunks.push_back(now_.body.size());
        body_.clear();
        aborted_ = false;
        if (now_.error_after == 0)
            return events_->on_error(12002, "The operation timed out");
        events_->on_response_start(now_.status, "text/html");
        for (std::size_t i = 0, offset = 0; i < now_.chunks.size() && !aborted_; ++i) {
            if (static_cast<int>(i) == now_.error_after)
                return events_->on_error(12002, "The operation timed out");
            if (static_cast<int>(i) == now_.restart_after) { // from here the body comes again from its start
                events_->on_response_restart();
                body_.clear();
                offset = 0;
            }
            const std::string chunk = now_.body.substr(std::min(offset, now_.body.size()), now_.chunks[i]);
            offset += chunk.size();
            body_ += keep_ ? chunk : "";
            events_->on_response_data({reinterpret_cast<const std::uint8_t*>(chunk.data()), chunk.size()});
        }
        if (!aborted_)
            events_->on_response_finished();
    }
    std::optional<std::string> get_response_header(const std::string& name) override
    {
        const auto found = now_.headers.find(name);
        return found == now_.headers.end() ? std::nullopt : std::optional(found->second);
    }
    std::string response_text() override { return body_; }
    std::vector<std::uint8_t> response_body() override { return {body_.begin(), body_.end()}; }
    void abort() override
    {
        http_.log.push_back("abort");
        aborted_ = true; // a handler that abandons the response gets no further event
    }

private:
    FakeHttp& http_;
    platform::HttpEvents* events_ = nullptr;
    std::string url_, body_;
    bool keep_ = true, aborted_ = false;
    FakeResponse now_;
};

} // namespace

std::unique_ptr<platform::HttpRequest> FakeHttp::create_request()
{
    return std::make_unique<FakeHttpRequest>(*this);
}

std::vector<std::string> FakeHttp::entries(const std::string& prefix) const
{
    std::vector<std::string> out;
    std::copy_if(log.begin(), log.end(), std::back_inserter(out), [&](const auto& e) { return e.starts_with(prefix); });
    return out;
}

} // namespace om::test
