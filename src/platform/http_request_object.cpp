#include "platform/http_request_object.hpp"

#include "common/log.hpp"

#include <chrono>
#include <utility>

namespace om::platform {

namespace {

// The decimal number at the start of `text` (after blanks); nullopt when there is none or it is too
// long to be a length.
std::optional<long long> count_at(std::string_view& text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
    long long value = 0;
    std::size_t digits = 0;
    while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        if (digits == 18)
            return std::nullopt;
        value = value * 10 + (text[digits] - '0');
        ++digits;
    }
    if (digits == 0)
        return std::nullopt;
    text.remove_prefix(digits);
    return value;
}

long long content_length(const HttpResponse& response)
{
    std::string_view text;
    const auto header = response.header("Content-Length");
    if (!header)
        return -1;
    text = *header;
    const auto value = count_at(text);
    return value && text.find_first_not_of(' ') == std::string_view::npos ? *value : -1;
}

struct ContentRange {
    long long first = 0;
    long long total = -1; // "*": not known
};

// "bytes first-last/total"
std::optional<ContentRange> content_range(const std::optional<std::string>& header)
{
    if (!header || header->rfind("bytes ", 0) != 0)
        return std::nullopt;
    std::string_view text = std::string_view(*header).substr(6);
    ContentRange range;
    const auto first = count_at(text);
    if (!first || text.empty() || text.front() != '-')
        return std::nullopt;
    text.remove_prefix(1);
    if (!count_at(text) || text.empty() || text.front() != '/')
        return std::nullopt;
    text.remove_prefix(1);
    range.first = *first;
    if (text != "*") {
        const auto total = count_at(text);
        if (!total || !text.empty())
            return std::nullopt;
        range.total = *total;
    }
    return range;
}

// The proxy as it may be shown and logged: without a user name and password.
std::string shown(const std::string& proxy)
{
    const auto at = proxy.rfind('@');
    return at == std::string::npos ? proxy : proxy.substr(at + 1);
}

bool same_name(std::string_view a, std::string_view b)
{
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [&](char x, char y) { return lower(x) == lower(y); });
}

} // namespace

HttpRequestObject::HttpRequestObject(std::unique_ptr<HttpExchange> exchange) : exchange_(std::move(exchange)) {}

void HttpRequestObject::set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms)
{
    if (resolve_ms < -1 || connect_ms < -1 || send_ms < -1 || receive_ms < -1)
        throw HttpCallFailed("invalid time-out");
    timeouts_[0] = resolve_ms;
    timeouts_[1] = connect_ms;
    timeouts_[2] = send_ms;
    timeouts_[3] = receive_ms;
}

void HttpRequestObject::open(const std::string& method, const std::string& url, bool asynchronous)
{
    if (in_flight_)
        throw HttpCallFailed("open while a request is in flight");
    if (method != "GET" || asynchronous)
        throw HttpCallFailed("only synchronous GET requests are supported");
    // What is not an address is refused now, not as an error event during the send.
    std::optional<std::string> address = exchange_->check_address(url);
    if (!address)
        throw HttpCallFailed("not an http address: " + url);
    url_ = std::move(*address);
    request_headers_.clear();
}

void HttpRequestObject::set_request_header(const std::string& name, const std::string& value)
{
    if (url_.empty())
        throw HttpCallFailed("set_request_header before open");
    if (name.empty() || name.find_first_of(":\r\n") != std::string::npos ||
        value.find_first_of("\r\n") != std::string::npos)
        throw HttpCallFailed("invalid request header");
    for (auto& [known, known_value] : request_headers_)
        if (same_name(known, name)) {
            known_value = value;
            return;
        }
    request_headers_.emplace_back(name, value);
}

template <class Call> bool HttpRequestObject::raise(Call&& call)
{
    // Called from inside the exchange, which may run C code (libcurl's callbacks): nothing may unwind
    // through it, so whatever the handler throws (an ordinary failure or the end of the program) is
    // carried across and rethrown by send() once the exchange has returned.
    try {
        call();
        return true;
    } catch (...) {
        handler_failure_ = std::current_exception();
        return false;
    }
}

void HttpRequestObject::take_whole_response(long status, std::vector<HttpHeader> headers)
{
    response_.clear();
    response_.status = status;
    response_.headers = std::move(headers);
    response_.headers_done();
    delivered_ = 0;
    expected_ = content_length(response_);
    validator_ = response_.header("ETag").value_or(response_.header("Last-Modified").value_or(""));
}

bool HttpRequestObject::on_head(long status, std::vector<HttpHeader> headers)
{
    if (abort_requested_)
        return false;
    if (status == proxy_credentials_required) {
        refusal_ = HttpFailure{proxy_credentials_required,
                               "The proxy " + shown(proxy_) + " asks for a user name and password (HTTP 407)."};
        final_ = true;
        return false;
    }
    if (!started_) {
        take_whole_response(status, std::move(headers));
        return raise([&] {
            started_ = true;
            if (events_)
                events_->on_response_start(response_.status, response_.content_type);
        });
    }
    // The answer to a resume.
    if (status == 206) {
        HttpResponse part;
        part.headers = std::move(headers);
        const auto range = content_range(part.header("Content-Range"));
        if (range && range->first == delivered_ && (range->total < 0 || expected_ < 0 || range->total == expected_))
            return true;
        refusal_ = HttpFailure{206, "the server resumed at another byte than " + std::to_string(delivered_)};
        return false;
    }
    if (status == 200) {
        // The whole body again (the server ignores ranges, or the package has changed): it starts over.
        take_whole_response(status, std::move(headers));
        return raise([&] {
            if (events_)
                events_->on_response_restart();
        });
    }
    refusal_ = HttpFailure{status, "HTTP " + std::to_string(status) + " to a resumed request"};
    return false;
}

bool HttpRequestObject::on_body(std::span<const std::uint8_t> bytes)
{
    if (abort_requested_ || !started_)
        return false;
    delivered_ += static_cast<long long>(bytes.size());
    if (keep_body_)
        response_.body.insert(response_.body.end(), bytes.begin(), bytes.end());
    return raise([&] {
        if (events_)
            events_->on_response_data(bytes);
    });
}

HttpExchangeRequest HttpRequestObject::attempt() const
{
    HttpExchangeRequest request{url_, proxy_, request_headers_, timeouts_[0], timeouts_[1], timeouts_[2], timeouts_[3]};
    // A resume asks for the rest only when the first answer named its version; without one the whole
    // body comes again, so that two versions of a package are never joined.
    if (started_ && delivered_ > 0 && !validator_.empty()) {
        request.headers.emplace_back("Range", "bytes=" + std::to_string(delivered_) + "-");
        request.headers.emplace_back("If-Range", validator_);
    }
    return request;
}

bool HttpRequestObject::may_resume(int resumes) const
{
    // Only streamed downloads (the page and the listings are small and read again by the next check),
    // only once their successful response has begun, and only for failures of the connection.
    return !keep_body_ && started_ && response_.status == 200 && !final_ && resumes < max_resumes;
}

void HttpRequestObject::raise_error(const HttpFailure& failure)
{
    in_flight_ = false; // the transfer is over, as for the finished event
    if (events_)
        events_->on_error(failure.number, failure.description);
}

void HttpRequestObject::log_request(const std::string& outcome) const
{
    log::line("GET " + url_ + (proxy_.empty() ? "" : " via proxy " + shown(proxy_)) + ": " + outcome);
}

void HttpRequestObject::send()
{
    if (in_flight_)
        throw HttpCallFailed("a request is already in flight");
    if (url_.empty())
        throw HttpCallFailed("send before open");
    in_flight_ = true;
    struct Landing {
        bool& flag;
        ~Landing() { flag = false; }
    } landing{in_flight_};

    abort_requested_ = started_ = final_ = false;
    handler_failure_ = nullptr;
    response_.clear();
    delivered_ = 0;
    expected_ = -1;
    validator_.clear();
    const auto began = std::chrono::steady_clock::now();
    int resumes = 0;
    auto summary = [&] {
        const auto ms =
            std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - began).count();
        return "status " + std::to_string(response_.status) + ", " + std::to_string(delivered_) + " bytes, " +
               std::to_string(ms) + " ms, " + std::to_string(resumes) + " resumes";
    };

    proxy_ = exchange_->proxy_for(url_);
    // Names under "invalid" never resolve; with a proxy, the proxy resolves names.
    if (proxy_.empty() && is_reserved_invalid_host(host_of_address(url_))) {
        const HttpFailure failure = exchange_->name_not_resolved();
        log_request("failed: " + failure.description);
        raise_error(failure);
        return;
    }
    for (;;) {
        refusal_.reset();
        std::optional<HttpFailure> failure = exchange_->run(attempt(), *this);
        if (handler_failure_) {
            log_request("ended by its handler, " + summary());
            std::rethrow_exception(std::exchange(handler_failure_, nullptr));
        }
        if (abort_requested_) {
            log_request("aborted, " + summary());
            return; // abandoned by a handler: no further event
        }
        if (refusal_)
            failure = refusal_;
        else if (!failure && expected_ >= 0 && delivered_ < expected_)
            failure = HttpFailure{0, "the connection closed after " + std::to_string(delivered_) + " of " +
                                         std::to_string(expected_) + " bytes"};
        if (!failure)
            break;
        if (!may_resume(resumes)) {
            log_request("failed: " + failure->description + ", " + summary());
            raise_error(*failure);
            return;
        }
        ++resumes;
        log_request("broken (" + failure->description + ") at byte " + std::to_string(delivered_) + ", resume " +
                    std::to_string(resumes));
    }
    log_request(summary());
    // The transfer is over: the finished handler may start the next request on this object (the
    // decision runs inside the last listing's handler, and "Install" pressed there downloads).
    in_flight_ = false;
    if (!started_ && events_)
        events_->on_response_start(response_.status, response_.content_type);
    if (events_)
        events_->on_response_finished();
}

std::optional<std::string> HttpRequestObject::get_response_header(const std::string& name)
{
    return response_.header(name);
}

std::string HttpRequestObject::response_text()
{
    return exchange_->decode_text(response_.body, response_.content_type);
}

std::vector<std::uint8_t> HttpRequestObject::response_body()
{
    return response_.body;
}

void HttpRequestObject::abort()
{
    if (in_flight_) {
        abort_requested_ = true; // the exchange stops at its next chunk or loop turn
        return;
    }
    response_.clear();
}

} // namespace om::platform
