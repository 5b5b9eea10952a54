#pragma once
// The request object, the same on every platform: open/send/abort, the four events in order on the
// calling thread during send(), the kept or streamed body, its text, and the resuming of a broken
// download. Each platform gives it only its HttpExchange.
#include "platform/http_exchange.hpp"
#include "platform/http_request.hpp"
#include "platform/http_response.hpp"

#include <exception>
#include <memory>

namespace om::platform {

class HttpRequestObject : public HttpRequest, private HttpExchangeSink {
public:
    // A streamed transfer broken off mid-body is taken up again at most this often.
    static constexpr int max_resumes = 3;

    explicit HttpRequestObject(std::unique_ptr<HttpExchange> exchange);

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
    bool on_head(long status, std::vector<HttpHeader> headers) override;
    bool on_body(std::span<const std::uint8_t> bytes) override;
    // Takes a response that carries the body from its first byte.
    void take_whole_response(long status, std::vector<HttpHeader> headers);
    // Runs an event handler; whatever it throws is kept and rethrown once the exchange has returned.
    template <class Call> bool raise(Call&& call);
    HttpExchangeRequest attempt() const;
    bool may_resume(int resumes) const;
    void raise_error(const HttpFailure& failure);
    void log_request(const std::string& outcome) const;

    std::unique_ptr<HttpExchange> exchange_;
    HttpEvents* events_ = nullptr;
    int timeouts_[4] = {0, 60000, 30000, 30000};
    std::string url_;
    std::vector<HttpHeader> request_headers_;
    bool keep_body_ = true;
    bool in_flight_ = false;
    bool abort_requested_ = false;

    // Of the send in progress.
    std::string proxy_;
    bool started_ = false;
    long long delivered_ = 0;            // body bytes handed to the events since the body last began
    long long expected_ = -1;            // the whole body's length, -1 when not announced
    std::string validator_;              // the ETag or Last-Modified that guards a resume
    std::optional<HttpFailure> refusal_; // a response this object refused
    bool final_ = false;                 // the refusal ends the transfer; no resume helps
    std::exception_ptr handler_failure_;
    HttpResponse response_;
};

} // namespace om::platform
