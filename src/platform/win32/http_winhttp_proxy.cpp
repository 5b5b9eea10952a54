#include "platform/win32/http_winhttp_proxy.hpp"

#include "platform/http_exchange.hpp"
#include "platform/win32/http_winhttp_text.hpp"

namespace om::platform::win32 {

namespace {

// Proxy resolution (auto-detection, the PAC script's download) may take this long at most per step, so
// that a machine without a proxy pays no more at a cold start.
constexpr int resolution_timeout_ms = 2000;

// Takes a string WinHTTP allocated for the caller.
std::string take(LPWSTR text)
{
    if (!text)
        return {};
    std::string out = narrow(text);
    GlobalFree(text);
    return out;
}

// The http proxy of a proxy list: "host:port", "http=host:port;https=...", entries separated by ";" or
// blanks; the first that serves http.
std::string http_entry(std::string_view list)
{
    while (!list.empty()) {
        const auto end = list.find_first_of("; \t");
        std::string_view entry = list.substr(0, end);
        if (const auto equals = entry.find('='); equals != std::string_view::npos)
            entry = entry.substr(0, equals) == "http" ? entry.substr(equals + 1) : std::string_view();
        if (entry.starts_with("http://"))
            entry.remove_prefix(7);
        while (entry.ends_with("/"))
            entry.remove_suffix(1);
        if (!entry.empty())
            return std::string(entry);
        if (end == std::string_view::npos)
            break;
        list.remove_prefix(end + 1);
    }
    return {};
}

} // namespace

void UserProxy::read_settings()
{
    read_ = true;
    WINHTTP_CURRENT_USER_IE_PROXY_CONFIG config{};
    if (!WinHttpGetIEProxyConfigForCurrentUser(&config))
        return;
    auto_detect_ = config.fAutoDetect != FALSE;
    if (config.lpszAutoConfigUrl)
        script_ = config.lpszAutoConfigUrl;
    take(config.lpszAutoConfigUrl);
    named_ = http_entry(take(config.lpszProxy));
    bypass_ = take(config.lpszProxyBypass);
    if (auto_detect_ || !script_.empty()) {
        resolver_.reset(
            WinHttpOpen(L"om_updat", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
        if (resolver_)
            WinHttpSetTimeouts(resolver_.get(), resolution_timeout_ms, resolution_timeout_ms, resolution_timeout_ms,
                               resolution_timeout_ms);
    }
}

std::string UserProxy::from_auto_proxy(const std::string& url)
{
    WINHTTP_AUTOPROXY_OPTIONS options{};
    if (!script_.empty()) {
        options.dwFlags |= WINHTTP_AUTOPROXY_CONFIG_URL;
        options.lpszAutoConfigUrl = script_.c_str();
    }
    if (auto_detect_) {
        options.dwFlags |= WINHTTP_AUTOPROXY_AUTO_DETECT;
        options.dwAutoDetectFlags = WINHTTP_AUTO_DETECT_TYPE_DHCP | WINHTTP_AUTO_DETECT_TYPE_DNS_A;
    }
    options.fAutoLogonIfChallenged = FALSE;
    WINHTTP_PROXY_INFO info{};
    const std::wstring wide = widen(url);
    if (!WinHttpGetProxyForUrl(resolver_.get(), wide.c_str(), &options, &info)) {
        // Nothing to find (no script, no auto-detection answer): not asked again in this run.
        resolver_.reset();
        return {};
    }
    const std::string proxy = http_entry(take(info.lpszProxy));
    const std::string bypass = take(info.lpszProxyBypass);
    if (info.dwAccessType != WINHTTP_ACCESS_TYPE_NAMED_PROXY || bypasses_proxy(host_of_address(url), bypass))
        return {};
    return proxy;
}

std::string UserProxy::proxy_for(const std::string& url)
{
    if (url.rfind("http://", 0) != 0)
        return {};
    if (!read_)
        read_settings();
    if (resolver_) {
        std::string proxy = from_auto_proxy(url);
        if (!proxy.empty() || resolver_)
            return proxy;
    }
    if (named_.empty() || bypasses_proxy(host_of_address(url), bypass_))
        return {};
    return named_;
}

} // namespace om::platform::win32
