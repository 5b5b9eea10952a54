#pragma once
// One request object over a libcurl easy handle, driven by a multi handle on the calling thread.
#include "platform/http_request.hpp"
#include "platform/http_response.hpp"
#include "platform/posix/http_curl_handles.hpp"

#include <chrono>
#include <exception>
#include <map>

namespace om::platform::posix {

class CurlHttpRequest : public HttpRequest {
public:
    CurlHttpRequest();

    void set_events(HttpEvents* events) override { events_ = events; }
    void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) override;
    void open(const std::string& method, const std::string& url, bool asynchronous) override;
    void set_request_header(const std::string& name, const std::string& value) override;
    void send() override;
    void keep_body(bool keep) override { keep_body_ = keep; }
    std::optional<std::string> get_response_header(const std::string& name) override;
    std::string response_text() override;
    std::vector<std::uint8_t> response_body() override;
    void abort() override;

private:
    using Clock = std::chrono::steady_clock;

    static std::size_t header_callback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t write_callback(char* data, std::size_t size, std::size_t count, void* self);
    bool on_header_line(std::string_view line);
    bool on_body_chunk(const std::uint8_t* data, std::size_t size);
    // Runs an event handler; anything it throws is kept and rethrown once libcurl has returned.
    template <class Call> bool raise(Call&& call);
    void configure_transfer();
    CURLcode run_transfer();
    void raise_start();
    void raise_error(long number, const std::string& description);

    CurlEasy easy_;
    CurlMulti multi_;
    HttpEvents* events_ = nullptr;
    std::string url_;
    std::map<std::string, std::string> request_headers_;
    CurlSlist header_list_;
    int connect_ms_ = 60000;
    int receive_ms_ = 30000;
    bool keep_body_ = true;
    bool in_flight_ = false;
    bool abort_requested_ = false;
    bool idle_timed_out_ = false;
    bool started_ = false;
    std::exception_ptr handler_failure_;
    Clock::time_point last_received_;

    HttpResponse response_;                 // the final response
    std::vector<HttpHeader> block_headers_; // of the header block being read
};

} // namespace om::platform::posix
