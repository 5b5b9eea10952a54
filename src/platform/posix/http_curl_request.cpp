#include "platform/posix/http_curl_request.hpp"

#include "platform/posix/http_curl_charset.hpp"

#include <algorithm>
#include <optional>
#include <utility>

namespace om::platform::posix {

namespace {

// Large reads keep loopback transfers well above the disk's speed (measured: 16 KB buffers reach about
// half the throughput of 512 KB ones).
constexpr long receive_buffer_bytes = 512 * 1024;
// The longest the loop sleeps in curl_multi_poll; also the accuracy of the "nothing received" limit.
constexpr int poll_slice_ms = 50;

// The host of an absolute address, "" when it cannot be parsed.
std::string host_of(const std::string& url)
{
    CurlUrl handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK)
        return {};
    char* host = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_HOST, &host, 0) != CURLUE_OK || !host)
        return {};
    std::string result(host);
    curl_free(host);
    return result;
}

// The address as libcurl will send it, blanks and other unsafe characters escaped; nullopt when it
// is not an address at all (no host, a port out of range, ...).
std::optional<std::string> normalized_address(const std::string& url)
{
    CurlUrl handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_URLENCODE) != CURLUE_OK)
        return std::nullopt;
    char* full = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &full, 0) != CURLUE_OK || !full)
        return std::nullopt;
    std::string result(full);
    curl_free(full);
    return result;
}

} // namespace

CurlHttpRequest::CurlHttpRequest() : easy_(curl_easy_init()), multi_(curl_multi_init())
{
    if (!easy_ || !multi_)
        throw HttpCallFailed("libcurl handles could not be created");
}

void CurlHttpRequest::set_timeouts(int, int connect_ms, int, int receive_ms)
{
    // The resolve time-out is part of libcurl's connect time-out; the request itself is a few hundred
    // bytes, so the send time-out has nothing to limit.
    connect_ms_ = connect_ms;
    receive_ms_ = receive_ms;
}

void CurlHttpRequest::open(const std::string& method, const std::string& url, bool asynchronous)
{
    if (in_flight_)
        throw HttpCallFailed("open while a request is in flight");
    if (method != "GET")
        throw HttpCallFailed("only GET is supported");
    if (asynchronous)
        throw HttpCallFailed("only synchronous requests are supported");
    // What is not an address is refused now, as the Windows request object does, not as an error
    // event during the send.
    std::optional<std::string> address = normalized_address(url);
    if (!address)
        throw HttpCallFailed("not an http address: " + url);
    url_ = std::move(*address);
    request_headers_.clear();
}

void CurlHttpRequest::set_request_header(const std::string& name, const std::string& value)
{
    if (url_.empty())
        throw HttpCallFailed("set_request_header before open");
    if (name.find_first_of(":\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
        throw HttpCallFailed("invalid request header");
    request_headers_[name] = value;
}

template <class Call> bool CurlHttpRequest::raise(Call&& call)
{
    // Called from libcurl's callbacks: nothing may unwind through libcurl's C frames, so whatever the
    // handler throws (an ordinary failure or the end of the program) is carried across and rethrown by
    // send() once libcurl has returned.
    try {
        call();
        return true;
    } catch (...) {
        handler_failure_ = std::current_exception();
        return false;
    }
}

std::size_t CurlHttpRequest::header_callback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* request = static_cast<CurlHttpRequest*>(self);
    return request->on_header_line(std::string_view(data, size * count)) ? size * count : 0;
}

std::size_t CurlHttpRequest::write_callback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* request = static_cast<CurlHttpRequest*>(self);
    return request->on_body_chunk(reinterpret_cast<const std::uint8_t*>(data), size * count) ? size * count : 0;
}

bool CurlHttpRequest::on_header_line(std::string_view line)
{
    last_received_ = Clock::now();
    if (abort_requested_)
        return false;
    if (line.rfind("HTTP/", 0) == 0) {
        block_headers_.clear();
        return true;
    }
    if (line.find_first_not_of(" \t\r\n") != std::string_view::npos) {
        if (auto header = parse_header_line(line))
            block_headers_.push_back(std::move(*header));
        return true;
    }
    // The empty line that ends a header block: the response starts unless this was an interim (1xx) one.
    long code = 0;
    curl_easy_getinfo(easy_.get(), CURLINFO_RESPONSE_CODE, &code);
    if (code >= 100 && code < 200)
        return true;
    response_.status = code;
    response_.headers = std::move(block_headers_);
    block_headers_.clear();
    response_.headers_done();
    return raise([&] { raise_start(); });
}

bool CurlHttpRequest::on_body_chunk(const std::uint8_t* data, std::size_t size)
{
    last_received_ = Clock::now();
    if (abort_requested_)
        return false;
    if (!started_ && !raise([&] { raise_start(); }))
        return false;
    if (keep_body_)
        response_.body.insert(response_.body.end(), data, data + size);
    return raise([&] {
        if (events_)
            events_->on_response_data(std::span<const std::uint8_t>(data, size));
    });
}

void CurlHttpRequest::raise_start()
{
    started_ = true;
    if (events_)
        events_->on_response_start(response_.status, response_.content_type);
}

void CurlHttpRequest::raise_error(long number, const std::string& description)
{
    in_flight_ = false; // the transfer is over, as for the finished event
    if (events_)
        events_->on_error(number, description);
}

void CurlHttpRequest::configure_transfer()
{
    CURL* easy = easy_.get();
    curl_easy_reset(easy); // keeps the connection cache
    header_list_.reset();
    for (const auto& [name, value] : request_headers_) {
        curl_slist* longer = curl_slist_append(header_list_.get(), (name + ": " + value).c_str());
        if (!longer)
            throw HttpCallFailed("out of memory");
        header_list_.release();
        header_list_.reset(longer);
    }
    const bool ok =
        curl_easy_setopt(easy, CURLOPT_URL, url_.c_str()) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
        // Direct, as the Windows request object goes by default: proxy variables of the environment
        // are not the updater's configuration.
        curl_easy_setopt(easy, CURLOPT_PROXY, "") == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_HTTPHEADER, header_list_.get()) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(std::max(connect_ms_, 0))) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, receive_buffer_bytes) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlHttpRequest::header_callback) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlHttpRequest::write_callback) == CURLE_OK &&
        curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
    if (!ok)
        throw HttpCallFailed("the request could not be set up");
}

CURLcode CurlHttpRequest::run_transfer()
{
    MultiAttachment attachment(multi_.get(), easy_.get());
    if (!attachment.attached())
        throw HttpCallFailed("the request could not be started");
    // The "nothing received" limit is measured by the loop itself: libcurl's low-speed limit averages
    // over seconds and fires far later than the limit asks.
    bool request_sent = false;
    last_received_ = Clock::now();
    for (;;) {
        int running = 0;
        const CURLMcode step = curl_multi_perform(multi_.get(), &running);
        if (step != CURLM_OK)
            throw HttpCallFailed(curl_multi_strerror(step));
        if (!running || handler_failure_ || abort_requested_)
            break;
        const auto now = Clock::now();
        if (!request_sent) {
            curl_off_t sent_at = 0;
            curl_easy_getinfo(easy_.get(), CURLINFO_PRETRANSFER_TIME_T, &sent_at);
            if (sent_at > 0) {
                request_sent = true;
                last_received_ = now;
            }
        }
        int wait_ms = poll_slice_ms;
        if (request_sent && receive_ms_ > 0) {
            const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_received_).count();
            if (quiet >= receive_ms_) {
                idle_timed_out_ = true;
                break;
            }
            wait_ms = static_cast<int>(std::min<long long>(wait_ms, receive_ms_ - quiet));
        }
        curl_multi_poll(multi_.get(), nullptr, 0, wait_ms, nullptr);
    }
    CURLcode result = CURLE_OK;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left))
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get())
            result = message->data.result;
    return result;
}

void CurlHttpRequest::send()
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

    abort_requested_ = idle_timed_out_ = started_ = false;
    handler_failure_ = nullptr;
    response_.clear();
    block_headers_.clear();

    if (is_reserved_invalid_host(host_of(url_))) {
        raise_error(CURLE_COULDNT_RESOLVE_HOST, "Couldn't resolve host name");
        return;
    }
    configure_transfer();
    const CURLcode result = run_transfer();
    if (handler_failure_)
        std::rethrow_exception(std::exchange(handler_failure_, nullptr));
    if (abort_requested_)
        return; // abandoned by a handler: no further event
    if (idle_timed_out_) {
        raise_error(CURLE_OPERATION_TIMEDOUT, "No data received within " + std::to_string(receive_ms_) + " ms");
        return;
    }
    if (result != CURLE_OK) {
        raise_error(result, curl_easy_strerror(result));
        return;
    }
    if (!started_)
        raise_start();
    // The transfer is over: the finished handler may start the next request on this object (the
    // decision runs inside the last listing's handler, and "Install" pressed there downloads).
    in_flight_ = false;
    if (events_)
        events_->on_response_finished();
}

std::optional<std::string> CurlHttpRequest::get_response_header(const std::string& name)
{
    return response_.header(name);
}

std::string CurlHttpRequest::response_text()
{
    return decode_response_text(response_.body, response_.content_type);
}

std::vector<std::uint8_t> CurlHttpRequest::response_body()
{
    return response_.body;
}

void CurlHttpRequest::abort()
{
    if (in_flight_) {
        abort_requested_ = true; // the transfer stops at its next callback or loop turn
        return;
    }
    response_.clear();
}

} // namespace om::platform::posix
