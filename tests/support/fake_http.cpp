#include "support/fake_http.hpp"

#include <algorithm>

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
        headers_.clear();
    }
    void set_request_header(const std::string& name, const std::string& value) override
    {
        http_.log.push_back("header " + name + ": " + value);
        headers_[name] = value;
    }
    void keep_body(bool keep) override
    {
        http_.log.push_back(std::string("keep_body ") + (keep ? "1" : "0"));
        keep_ = keep;
    }
    void send() override
    {
        http_.log.push_back("send");
        if (in_flight_)
            throw platform::HttpCallFailed("a request is already in flight");
        http_.sent.push_back(url_);
        http_.user_agents.push_back(headers_.count("User-Agent") ? headers_["User-Agent"] : "");
        auto found = http_.responses.find(url_);
        FakeResponse response;
        if (found != http_.responses.end()) {
            response = found->second;
        } else {
            response.status = 404;
            response.body = "not found";
        }
        if (response.send_throws)
            throw platform::HttpCallFailed("send failed");
        in_flight_ = true;
        struct Landing {
            bool& flag;
            ~Landing() { flag = false; }
        } landing{in_flight_};

        current_ = response;
        body_.clear();
        aborted_ = false;
        if (!response.no_content_length && !response.headers.count("Content-Length"))
            current_.headers["Content-Length"] = std::to_string(response.body.size());

        if (response.error_event && response.chunks_before_error == 0) {
            raise_error();
            return;
        }
        http_.log.push_back("start " + std::to_string(response.status) + " " + response.content_type);
        if (events_)
            events_->on_response_start(response.status, response.content_type);
        std::vector<std::size_t> chunks = response.chunks;
        if (chunks.empty() && !response.body.empty())
            chunks.push_back(response.body.size());
        std::size_t offset = 0;
        for (std::size_t i = 0; i < chunks.size(); ++i) {
            if (response.error_event && i == response.chunks_before_error) {
                raise_error();
                return;
            }
            const std::size_t size = std::min(chunks[i], response.body.size() - offset);
            const auto* begin = reinterpret_cast<const std::uint8_t*>(response.body.data()) + offset;
            if (keep_)
                body_.insert(body_.end(), begin, begin + size);
            offset += size;
            http_.log.push_back("data " + std::to_string(size));
            if (events_)
                events_->on_response_data(std::span<const std::uint8_t>(begin, size));
            if (aborted_)
                return; // abandoned by a handler: no further event
        }
        http_.log.push_back("finished");
        if (events_)
            events_->on_response_finished();
    }
    std::optional<std::string> get_response_header(const std::string& name) override
    {
        auto found = current_.headers.find(name);
        if (found == current_.headers.end())
            return std::nullopt;
        return found->second;
    }
    std::string response_text() override
    {
        http_.log.push_back("text");
        return std::string(body_.begin(), body_.end());
    }
    std::vector<std::uint8_t> response_body() override
    {
        http_.log.push_back("body");
        return body_;
    }
    void abort() override
    {
        http_.log.push_back("abort");
        aborted_ = in_flight_;
        if (!in_flight_)
            body_.clear();
    }

private:
    void raise_error()
    {
        http_.log.push_back("error");
        if (events_)
            events_->on_error(12002, "The operation timed out");
    }

    FakeHttp& http_;
    platform::HttpEvents* events_ = nullptr;
    std::string url_;
    std::map<std::string, std::string> headers_;
    bool keep_ = true;
    bool in_flight_ = false;
    bool aborted_ = false;
    FakeResponse current_;
    std::vector<std::uint8_t> body_;
};

} // namespace

std::unique_ptr<platform::HttpRequest> FakeHttp::create_request()
{
    return std::make_unique<FakeHttpRequest>(*this);
}

std::vector<std::string> FakeHttp::entries(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const auto& entry : log)
        if (entry.rfind(prefix, 0) == 0)
            out.push_back(entry);
    return out;
}

} // namespace om::test
