#pragma once
// A request object for download tests: answers each address with a scripted response and raises the
// four events on the caller's thread during send(), as the real one does.
#include "app/context.hpp"
#include "platform/http_request.hpp"

#include <map>
#include <optional>
#include <string>
#include <vector>

namespace om::test {

struct ScriptedResponse {
    long status = 200;
    std::vector<std::string> chunks;
    // The announced length; by default the sum of the chunks. nullopt: no "Content-Length" header.
    std::optional<std::optional<long long>> announced;
    bool fails = false; // the transfer breaks off: the error event is raised instead of finishing
};

class ScriptedHttpRequest : public platform::HttpRequest {
public:
    std::map<std::string, ScriptedResponse> responses; // by full URL; others get a 404 page
    std::vector<std::string> log;                      // every call, in order
    std::vector<std::string> sent_urls;
    bool keeps_body = true;

    void set_events(platform::HttpEvents* events) override { events_ = events; }
    void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override;
    void open(const std::string& method, const std::string& url, bool asynchronous) override;
    void set_request_header(const std::string& name, const std::string& value) override;
    void send() override;
    void keep_body(bool keep) override;
    std::optional<std::string> get_response_header(const std::string& name) override;
    std::string response_text() override { return std::string(body_.begin(), body_.end()); }
    std::vector<std::uint8_t> response_body() override { return body_; }
    void abort() override { log.push_back("abort"); }

private:
    platform::HttpEvents* events_ = nullptr;
    std::string url_;
    ScriptedResponse current_;
    std::vector<std::uint8_t> body_;
};

// The download side of the transfer events: the status and the announced size at the start, each chunk
// into the sink as it arrives, and the error event ends the program.
class DownloadEvents : public platform::HttpEvents {
public:
    explicit DownloadEvents(Context& context) : context_(context) {}
    void on_response_start(long status, const std::string& content_type) override;
    void on_response_data(std::span<const std::uint8_t> chunk) override;
    void on_response_finished() override {}
    void on_error(long number, const std::string& description) override;

private:
    Context& context_;
};

} // namespace om::test
