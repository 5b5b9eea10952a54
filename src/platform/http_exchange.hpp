#pragma once
// One HTTP exchange: all a platform's HTTP client does for the request object. It connects (through
// the proxy it is given), sends one GET with the given headers and time-outs, and hands back the
// response's head and its body chunks as they arrive, or the failure that ended it. Everything else -
// the object's state, its events, the kept body, its text, resuming - is the request object's, written
// once above the platforms (platform/http_request_object.hpp).
#include "platform/http_request.hpp"
#include "platform/http_response.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace om::platform {

struct HttpExchangeRequest {
    std::string url;   // as check_address gave it
    std::string proxy; // "host:port" of the proxy to go through, "" for a direct connection
    std::vector<HttpHeader> headers;
    int resolve_ms = 0;
    int connect_ms = 0;
    int send_ms = 0;
    // The longest wait for the next byte once the request has been sent.
    int receive_ms = 0;
};

struct HttpFailure {
    long number = 0;
    std::string description;
};

// Takes the response as it arrives. A false return stops the exchange: run() then returns at once and
// its result is not used.
class HttpExchangeSink {
public:
    virtual bool on_head(long status, std::vector<HttpHeader> headers) = 0;
    virtual bool on_body(std::span<const std::uint8_t> bytes) = 0;

protected:
    ~HttpExchangeSink() = default;
};

class HttpExchange {
public:
    virtual ~HttpExchange() = default;
    // The address as it will be sent; nullopt when it is not an http address.
    virtual std::optional<std::string> check_address(const std::string& url) = 0;
    // The proxy the user's settings name for that address, "" for a direct connection.
    virtual std::string proxy_for(const std::string& url) = 0;
    // One GET. nullopt once the response has arrived as far as the connection tells; otherwise the
    // failure (no connection, a reset, no byte within receive_ms, ...).
    virtual std::optional<HttpFailure> run(const HttpExchangeRequest& request, HttpExchangeSink& sink) = 0;
    // How this platform reports a name that does not resolve.
    virtual HttpFailure name_not_resolved() const = 0;
    // The body as UTF-8 text, decoded by the charset the Content-Type names.
    virtual std::string decode_text(const std::vector<std::uint8_t>& body, std::string_view content_type) = 0;
};

// Whether `host` is on a proxy bypass list: entries separated by ",", ";" or blanks; "*" is every
// host, "<local>" every name without a dot, "name" or ".name" or "*.name" that name and the names
// under it. Letter case is ignored.
bool bypasses_proxy(std::string_view host, std::string_view bypass_list);

// The host of an absolute address ("scheme://user@host:port/path"), "" when there is none.
std::string host_of_address(std::string_view url);

} // namespace om::platform
