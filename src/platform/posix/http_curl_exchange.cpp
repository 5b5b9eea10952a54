#include "platform/posix/http_curl_exchange.hpp"

#include "platform/posix/http_curl_charset.hpp"

#include <algorithm>
#include <cstdlib>
#include <utility>

namespace om::platform::posix {

namespace {

// Large reads keep loopback transfers well above the disk's speed (measured: 16 KB buffers reach about
// half the throughput of 512 KB ones).
constexpr long receive_buffer_bytes = 512 * 1024;
// The longest the loop sleeps in curl_multi_poll; also the accuracy of the "nothing received" limit.
constexpr int poll_slice_ms = 50;

std::string environment(const char* lower_name, const char* upper_name)
{
    const char* value = std::getenv(lower_name);
    if (!value || !*value)
        value = std::getenv(upper_name);
    return value ? value : "";
}

} // namespace

CurlHttpExchange::CurlHttpExchange() : easy_(curl_easy_init()), multi_(curl_multi_init())
{
    if (!easy_ || !multi_)
        throw HttpCallFailed("libcurl handles could not be created");
}

std::optional<std::string> CurlHttpExchange::check_address(const std::string& url)
{
    // The address as libcurl will send it, blanks and other unsafe characters escaped.
    CurlUrl handle(curl_url());
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), CURLU_URLENCODE) != CURLUE_OK)
        return std::nullopt;
    char* full = nullptr;
    if (curl_url_get(handle.get(), CURLUPART_URL, &full, 0) != CURLUE_OK || !full)
        return std::nullopt;
    std::string result(full);
    curl_free(full);
    if (result.rfind("http://", 0) != 0 && result.rfind("https://", 0) != 0)
        return std::nullopt;
    return result;
}

std::string CurlHttpExchange::proxy_for(const std::string& url)
{
    if (url.rfind("http://", 0) != 0)
        return {};
    std::string proxy = environment("http_proxy", "HTTP_PROXY");
    if (proxy.rfind("http://", 0) == 0)
        proxy.erase(0, 7);
    while (!proxy.empty() && proxy.back() == '/')
        proxy.pop_back();
    if (proxy.empty() || bypasses_proxy(host_of_address(url), environment("no_proxy", "NO_PROXY")))
        return {};
    return proxy;
}

HttpFailure CurlHttpExchange::name_not_resolved() const
{
    return {CURLE_COULDNT_RESOLVE_HOST, "Couldn't resolve host name"};
}

std::string CurlHttpExchange::decode_text(const std::vector<std::uint8_t>& body, std::string_view content_type)
{
    return decode_response_text(body, content_type);
}

std::size_t CurlHttpExchange::header_callback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* exchange = static_cast<CurlHttpExchange*>(self);
    return exchange->on_header_line(std::string_view(data, size * count)) ? size * count : 0;
}

std::size_t CurlHttpExchange::write_callback(char* data, std::size_t size, std::size_t count, void* self)
{
    auto* exchange = static_cast<CurlHttpExchange*>(self);
    exchange->last_received_ = Clock::now();
    const bool go_on =
        !exchange->stopped_ && exchange->sink_->on_body({reinterpret_cast<const std::uint8_t*>(data), size * count});
    exchange->stopped_ = !go_on;
    return go_on ? size * count : 0;
}

bool CurlHttpExchange::on_header_line(std::string_view line)
{
    last_received_ = Clock::now();
    if (stopped_)
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
    stopped_ = !sink_->on_head(code, std::exchange(block_headers_, {}));
    return !stopped_;
}

void CurlHttpExchange::configure(const HttpExchangeRequest& request)
{
    CURL* easy = easy_.get();
    curl_easy_reset(easy); // keeps the connection cache
    header_list_.reset();
    for (const auto& [name, value] : request.headers) {
        curl_slist* longer = curl_slist_append(header_list_.get(), (name + ": " + value).c_str());
        if (!longer)
            throw HttpCallFailed("out of memory");
        header_list_.release();
        header_list_.reset(longer);
    }
    // The resolve time-out is part of libcurl's connect time-out; the request itself is a few hundred
    // bytes, so the send time-out has nothing to limit.
    const long connect_ms = std::max(request.connect_ms, 0);
    const bool ok = curl_easy_setopt(easy, CURLOPT_URL, request.url.c_str()) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https") == CURLE_OK &&
                    // The proxy is decided by proxy_for: libcurl reads no variable of its own.
                    curl_easy_setopt(easy, CURLOPT_PROXY, request.proxy.c_str()) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_NOPROXY, "") == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HTTPGET, 1L) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HTTPHEADER, header_list_.get()) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS, connect_ms) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_BUFFERSIZE, receive_buffer_bytes) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &CurlHttpExchange::header_callback) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_HEADERDATA, this) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &CurlHttpExchange::write_callback) == CURLE_OK &&
                    curl_easy_setopt(easy, CURLOPT_WRITEDATA, this) == CURLE_OK;
    if (!ok)
        throw HttpCallFailed("the request could not be set up");
}

bool CurlHttpExchange::drive(int receive_ms, CURLcode& result)
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
        if (!running || stopped_)
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
        if (request_sent && receive_ms > 0) {
            const auto quiet = std::chrono::duration_cast<std::chrono::milliseconds>(now - last_received_).count();
            if (quiet >= receive_ms)
                return false;
            wait_ms = static_cast<int>(std::min<long long>(wait_ms, receive_ms - quiet));
        }
        curl_multi_poll(multi_.get(), nullptr, 0, wait_ms, nullptr);
    }
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_.get(), &left))
        if (message->msg == CURLMSG_DONE && message->easy_handle == easy_.get())
            result = message->data.result;
    return true;
}

std::optional<HttpFailure> CurlHttpExchange::run(const HttpExchangeRequest& request, HttpExchangeSink& sink)
{
    sink_ = &sink;
    stopped_ = false;
    block_headers_.clear();
    configure(request);
    CURLcode result = CURLE_OK;
    if (!drive(request.receive_ms, result))
        return HttpFailure{CURLE_OPERATION_TIMEDOUT,
                           "No data received within " + std::to_string(request.receive_ms) + " ms"};
    if (stopped_ || result == CURLE_OK)
        return std::nullopt;
    return HttpFailure{result, curl_easy_strerror(result)};
}

} // namespace om::platform::posix
