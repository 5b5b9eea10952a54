#include "platform/win32/http_winhttp_exchange.hpp"

#include "platform/win32/http_winhttp_text.hpp"

#include <algorithm>

namespace om::platform::win32 {

namespace {

// Reads of at least 64 KiB keep the number of data events (and window yields) low on large packages.
constexpr DWORD read_buffer_bytes = 256 * 1024;

struct CrackedUrl {
    std::wstring host;
    std::wstring path; // path and query
    INTERNET_PORT port = 0;
    bool secure = false;
};

std::optional<CrackedUrl> crack(const std::string& url)
{
    const std::wstring wide = widen(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() || !WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        return std::nullopt;
    CrackedUrl out;
    out.host.assign(parts.lpszHostName, parts.dwHostNameLength);
    out.path.assign(parts.lpszUrlPath, parts.dwUrlPathLength);
    if (parts.lpszExtraInfo)
        out.path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    if (out.path.empty())
        out.path = L"/";
    out.port = parts.nPort;
    out.secure = parts.nScheme == INTERNET_SCHEME_HTTPS;
    if (parts.nScheme != INTERNET_SCHEME_HTTP && !out.secure)
        return std::nullopt;
    return out;
}

std::vector<HttpHeader> response_headers(HINTERNET request)
{
    std::vector<HttpHeader> headers;
    DWORD size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (size == 0)
        return headers;
    std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return headers;
    raw.resize(size / sizeof(wchar_t));
    const std::string text = narrow(raw);
    std::size_t from = text.find("\r\n"); // after the status line
    while (from != std::string::npos && from + 2 < text.size()) {
        const std::size_t end = text.find("\r\n", from + 2);
        const std::string_view line =
            std::string_view(text).substr(from + 2, end == std::string::npos ? std::string::npos : end - from - 2);
        if (auto header = parse_header_line(line))
            headers.push_back(std::move(*header));
        from = end;
    }
    return headers;
}

} // namespace

WinHttpExchange::WinHttpExchange() : session_(open_session(""))
{
    if (!session_)
        throw HttpCallFailed("WinHttpOpen failed");
}

WinHttpHandle WinHttpExchange::open_session(const std::string& proxy)
{
    if (proxy.empty())
        return WinHttpHandle(
            WinHttpOpen(L"om_updat", WINHTTP_ACCESS_TYPE_NO_PROXY, WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    const std::wstring name = widen(proxy);
    return WinHttpHandle(
        WinHttpOpen(L"om_updat", WINHTTP_ACCESS_TYPE_NAMED_PROXY, name.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
}

HINTERNET WinHttpExchange::session_for(const std::string& proxy)
{
    // A proxy is a property of the session (a request's own proxy option is not honoured everywhere).
    if (proxy.empty())
        return session_.get();
    if (!proxied_ || proxied_name_ != proxy) {
        proxied_ = open_session(proxy);
        proxied_name_ = proxy;
    }
    return proxied_.get();
}

std::optional<std::string> WinHttpExchange::check_address(const std::string& url)
{
    return crack(url) ? std::optional<std::string>(url) : std::nullopt;
}

HttpFailure WinHttpExchange::name_not_resolved() const
{
    return {ERROR_WINHTTP_NAME_NOT_RESOLVED, "WinHTTP error " + std::to_string(ERROR_WINHTTP_NAME_NOT_RESOLVED)};
}

std::string WinHttpExchange::decode_text(const std::vector<std::uint8_t>& body, std::string_view content_type)
{
    return decode_response_text(body, content_type);
}

DWORD WinHttpExchange::transfer(const HttpExchangeRequest& request, HttpExchangeSink& sink)
{
    const auto target = crack(request.url);
    if (!target)
        return ERROR_WINHTTP_INVALID_URL;
    HINTERNET session = session_for(request.proxy);
    if (!session)
        return GetLastError();
    if (!WinHttpSetTimeouts(session, request.resolve_ms, request.connect_ms, request.send_ms, request.receive_ms))
        return GetLastError();
    WinHttpHandle connection(WinHttpConnect(session, target->host.c_str(), target->port, 0));
    if (!connection)
        return GetLastError();
    WinHttpHandle handle(WinHttpOpenRequest(connection.get(), L"GET", target->path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES, target->secure ? WINHTTP_FLAG_SECURE : 0));
    if (!handle)
        return GetLastError();
    // Redirects are not followed, as on every platform of the updater: a 3xx is a response like any other.
    DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects, sizeof no_redirects);
    // The wait for the response's headers has its own limit in WinHTTP; it is the receive time-out too.
    DWORD response_timeout = static_cast<DWORD>(request.receive_ms);
    WinHttpSetOption(handle.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_timeout, sizeof response_timeout);
    for (const auto& [name, value] : request.headers) {
        const std::wstring line = widen(name + ": " + value);
        if (!WinHttpAddRequestHeaders(handle.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
            throw HttpCallFailed("invalid request header");
    }
    if (!WinHttpSendRequest(handle.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return GetLastError();
    if (!WinHttpReceiveResponse(handle.get(), nullptr))
        return GetLastError();

    DWORD status = 0;
    DWORD size = sizeof status;
    WinHttpQueryHeaders(handle.get(), WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                        WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX);
    if (!sink.on_head(static_cast<long>(status), response_headers(handle.get())))
        return 0;
    std::vector<std::uint8_t> buffer(read_buffer_bytes);
    for (;;) {
        // Wait for what has arrived, then read just that: a read of a full buffer would hold back the
        // chunks that arrive in the meantime.
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(handle.get(), &available))
            return GetLastError();
        if (available == 0)
            return 0;
        DWORD read = 0;
        if (!WinHttpReadData(handle.get(), buffer.data(), std::min(available, read_buffer_bytes), &read))
            return GetLastError();
        if (read == 0)
            return 0;
        if (!sink.on_body(std::span<const std::uint8_t>(buffer.data(), read)))
            return 0;
    }
}

std::optional<HttpFailure> WinHttpExchange::run(const HttpExchangeRequest& request, HttpExchangeSink& sink)
{
    const DWORD error = transfer(request, sink);
    if (error == 0)
        return std::nullopt;
    return HttpFailure{static_cast<long>(error), "WinHTTP error " + std::to_string(error)};
}

} // namespace om::platform::win32
