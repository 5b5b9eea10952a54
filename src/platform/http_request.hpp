#pragma once
// HTTP request object: one synchronous request at a time; its four events are delivered on the
// calling (window) thread during send(), in the order start, data..., finished, or error.
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace om::platform {

// The error number of a request refused by a proxy that asks for credentials; its description names
// the proxy.
inline constexpr long proxy_credentials_required = 407;

// A request operation that failed as a call (the caller's error handling applies).
class HttpCallFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class HttpEvents {
public:
    virtual ~HttpEvents() = default;
    virtual void on_response_start(long status, const std::string& content_type) = 0;
    virtual void on_response_data(std::span<const std::uint8_t> chunk) = 0;
    virtual void on_response_finished() = 0;
    virtual void on_error(long number, const std::string& description) = 0;
    // A broken download resumed from its start (the server answered the resume with the whole
    // body): the bytes delivered so far are void and the body is delivered again from its first byte.
    virtual void on_response_restart() {}
};

class HttpRequest {
public:
    virtual ~HttpRequest() = default;
    virtual void set_events(HttpEvents* events) = 0;
    // Milliseconds; each throws HttpCallFailed when the call fails.
    virtual void set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms) = 0;
    virtual void open(const std::string& method, const std::string& url, bool asynchronous) = 0;
    virtual void set_request_header(const std::string& name, const std::string& value) = 0;
    // Sends without a body and returns when the response is complete or the request failed.
    // A send while another is in flight throws HttpCallFailed.
    virtual void send() = 0;
    // When false, the body is handed to the events only and not kept for response_text/response_body
    // (downloads stream to disk), and a transfer broken off mid-body is resumed. True by default.
    virtual void keep_body(bool keep) = 0;
    virtual std::optional<std::string> get_response_header(const std::string& name) = 0;
    // The body decoded by the Content-Type charset.
    virtual std::string response_text() = 0;
    virtual std::vector<std::uint8_t> response_body() = 0;
    virtual void abort() = 0;
};

// Names under the reserved top-level domain "invalid" never resolve; request objects answer them as
// "name not resolved" at once, without asking a name server.
inline bool is_reserved_invalid_host(std::string_view host)
{
    while (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    constexpr std::string_view tld = "invalid";
    if (host.size() < tld.size())
        return false;
    const std::string_view tail = host.substr(host.size() - tld.size());
    for (std::size_t i = 0; i < tld.size(); ++i) {
        const char c = tail[i];
        if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c) != tld[i])
            return false;
    }
    return host.size() == tld.size() || host[host.size() - tld.size() - 1] == '.';
}

class HttpService {
public:
    virtual ~HttpService() = default;
    virtual std::unique_ptr<HttpRequest> create_request() = 0;
};

} // namespace om::platform
