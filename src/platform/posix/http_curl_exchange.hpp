#pragma once
// One HTTP exchange over a libcurl easy handle, driven by a multi handle on the calling thread, so
// that the response reaches the request object on that thread.
#include "platform/http_exchange.hpp"
#include "platform/posix/http_curl_handles.hpp"

#include <chrono>

namespace om::platform::posix {

class CurlHttpExchange : public HttpExchange {
public:
    CurlHttpExchange();

    std::optional<std::string> check_address(const std::string& url) override;
    // http_proxy (or HTTP_PROXY) unless no_proxy (or NO_PROXY) names the host, as curl users know.
    std::string proxy_for(const std::string& url) override;
    std::optional<HttpFailure> run(const HttpExchangeRequest& request, HttpExchangeSink& sink) override;
    HttpFailure name_not_resolved() const override;
    std::string decode_text(const std::vector<std::uint8_t>& body, std::string_view content_type) override;

private:
    using Clock = std::chrono::steady_clock;

    static std::size_t header_callback(char* data, std::size_t size, std::size_t count, void* self);
    static std::size_t write_callback(char* data, std::size_t size, std::size_t count, void* self);
    bool on_header_line(std::string_view line);
    void configure(const HttpExchangeRequest& request);
    // Runs the transfer; false when it stopped because nothing came for receive_ms.
    bool drive(int receive_ms, CURLcode& result);

    CurlEasy easy_;
    CurlMulti multi_;
    CurlSlist header_list_;
    HttpExchangeSink* sink_ = nullptr;
    bool stopped_ = false; // the sink asked to stop
    std::vector<HttpHeader> block_headers_;
    Clock::time_point last_received_;
};

} // namespace om::platform::posix
