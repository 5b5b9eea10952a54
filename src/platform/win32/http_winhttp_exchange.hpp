#pragma once
// One HTTP exchange over WinHTTP: a session kept for the object's life, a connection and a request
// handle per exchange, the proxy the user's settings name.
#include "platform/http_exchange.hpp"
#include "platform/win32/http_winhttp_proxy.hpp"

namespace om::platform::win32 {

class WinHttpExchange : public HttpExchange {
public:
    WinHttpExchange();

    std::optional<std::string> check_address(const std::string& url) override;
    std::string proxy_for(const std::string& url) override { return proxies_.proxy_for(url); }
    std::optional<HttpFailure> run(const HttpExchangeRequest& request, HttpExchangeSink& sink) override;
    HttpFailure name_not_resolved() const override;
    std::string decode_text(const std::vector<std::uint8_t>& body, std::string_view content_type) override;

private:
    // The WinHTTP error of a failed step, 0 when the response is complete or the sink stopped it.
    DWORD transfer(const HttpExchangeRequest& request, HttpExchangeSink& sink);
    static WinHttpHandle open_session(const std::string& proxy);
    HINTERNET session_for(const std::string& proxy);

    WinHttpHandle session_; // direct
    WinHttpHandle proxied_; // through proxied_name_
    std::string proxied_name_;
    UserProxy proxies_;
};

} // namespace om::platform::win32
