#include "platform/win32/http_winhttp_request.hpp"

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

CrackedUrl crack(const std::string& url)
{
    const std::wstring wide = widen(url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (wide.empty() || !WinHttpCrackUrl(wide.c_str(), static_cast<DWORD>(wide.size()), 0, &parts))
        throw HttpCallFailed("not an http address: " + url);
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
        throw HttpCallFailed("not an http address: " + url);
    return out;
}

} // namespace

WinHttpRequest::WinHttpRequest()
    : session_(WinHttpOpen(L"om_updat", WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                           WINHTTP_NO_PROXY_BYPASS, 0))
{
    if (!session_)
        throw HttpCallFailed("WinHttpOpen failed");
}

void WinHttpRequest::set_timeouts(int resolve_ms, int connect_ms, int send_ms, int receive_ms)
{
    if (!WinHttpSetTimeouts(session_.get(), resolve_ms, connect_ms, send_ms, receive_ms))
        throw HttpCallFailed("WinHttpSetTimeouts failed");
    timeouts_[0] = resolve_ms;
    timeouts_[1] = connect_ms;
    timeouts_[2] = send_ms;
    timeouts_[3] = receive_ms;
}

void WinHttpRequest::open(const std::string& method, const std::string& url, bool asynchronous)
{
    if (in_flight_)
        throw HttpCallFailed("open while a request is in flight");
    if (method != "GET" || asynchronous)
        throw HttpCallFailed("only synchronous GET requests are supported");
    crack(url); // refuses what is not an http address now, as the automation object does
    url_ = url;
    request_headers_.clear();
}

void WinHttpRequest::set_request_header(const std::string& name, const std::string& value)
{
    if (url_.empty())
        throw HttpCallFailed("set_request_header before open");
    if (name.find_first_of(":\r\n") != std::string::npos || value.find_first_of("\r\n") != std::string::npos)
        throw HttpCallFailed("invalid request header");
    request_headers_.emplace_back(name, value);
}

void WinHttpRequest::read_response_headers(HINTERNET request)
{
    DWORD status = 0;
    DWORD size = sizeof status;
    if (WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                            WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
        response_.status = static_cast<long>(status);
    size = 0;
    WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, nullptr, &size,
                        WINHTTP_NO_HEADER_INDEX);
    if (size == 0)
        return;
    std::wstring raw(size / sizeof(wchar_t) + 1, L'\0');
    if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &size,
                             WINHTTP_NO_HEADER_INDEX))
        return;
    raw.resize(size / sizeof(wchar_t));
    const std::string text = narrow(raw);
    std::size_t from = text.find("\r\n"); // after the status line
    while (from != std::string::npos && from + 2 < text.size()) {
        const std::size_t end = text.find("\r\n", from + 2);
        const std::string_view line =
            std::string_view(text).substr(from + 2, end == std::string::npos ? std::string::npos : end - from - 2);
        if (auto header = parse_header_line(line))
            response_.headers.push_back(std::move(*header));
        from = end;
    }
    response_.headers_done();
}

DWORD WinHttpRequest::transfer()
{
    const CrackedUrl target = crack(url_);
    WinHttpHandle connection(WinHttpConnect(session_.get(), target.host.c_str(), target.port, 0));
    if (!connection)
        return GetLastError();
    WinHttpHandle request(WinHttpOpenRequest(connection.get(), L"GET", target.path.c_str(), nullptr, WINHTTP_NO_REFERER,
                                             WINHTTP_DEFAULT_ACCEPT_TYPES, target.secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request)
        return GetLastError();
    // Redirects are not followed, as on every platform of the updater: a 3xx is a response like any other.
    DWORD no_redirects = WINHTTP_DISABLE_REDIRECTS;
    WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &no_redirects, sizeof no_redirects);
    // The wait for the response's headers has its own limit in WinHTTP; it is the receive time-out too.
    DWORD response_timeout = static_cast<DWORD>(timeouts_[3]);
    WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &response_timeout,
                     sizeof response_timeout);
    for (const auto& [name, value] : request_headers_) {
        const std::wstring line = widen(name + ": " + value);
        if (!WinHttpAddRequestHeaders(request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                                      WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE))
            throw HttpCallFailed("invalid request header");
    }
    if (!WinHttpSendRequest(request.get(), WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0))
        return GetLastError();
    if (!WinHttpReceiveResponse(request.get(), nullptr))
        return GetLastError();

    read_response_headers(request.get());
    if (events_)
        events_->on_response_start(response_.status, response_.content_type);
    std::vector<std::uint8_t> buffer(read_buffer_bytes);
    for (;;) {
        if (abort_requested_)
            return 0;
        // Wait for what has arrived, then read just that: a read of a full buffer would hold back the
        // chunks that arrive in the meantime.
        DWORD available = 0;
        if (!WinHttpQueryDataAvailable(request.get(), &available))
            return GetLastError();
        if (available == 0)
            break;
        DWORD read = 0;
        if (!WinHttpReadData(request.get(), buffer.data(), std::min(available, read_buffer_bytes), &read))
            return GetLastError();
        if (read == 0)
            break;
        if (keep_body_)
            response_.body.insert(response_.body.end(), buffer.begin(), buffer.begin() + read);
        if (events_)
            events_->on_response_data(std::span<const std::uint8_t>(buffer.data(), read));
    }
    return 0;
}

void WinHttpRequest::raise_error(DWORD error)
{
    in_flight_ = false; // the transfer is over, as for the finished event
    if (events_)
        events_->on_error(static_cast<long>(error), "WinHTTP error " + std::to_string(error));
}

void WinHttpRequest::send()
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
    abort_requested_ = false;
    response_.clear();

    if (is_reserved_invalid_host(narrow(crack(url_).host))) {
        raise_error(ERROR_WINHTTP_NAME_NOT_RESOLVED);
        return;
    }
    const DWORD error = transfer();
    if (abort_requested_)
        return; // abandoned by a handler: no further event
    if (error != 0) {
        raise_error(error);
        return;
    }
    // The transfer is over: the finished handler may start the next request on this object (the
    // decision runs inside the last listing's handler, and "Install" pressed there downloads).
    in_flight_ = false;
    if (events_)
        events_->on_response_finished();
}

std::optional<std::string> WinHttpRequest::get_response_header(const std::string& name)
{
    return response_.header(name);
}

std::string WinHttpRequest::response_text()
{
    return decode_response_text(response_.body, response_.content_type);
}

std::vector<std::uint8_t> WinHttpRequest::response_body()
{
    return response_.body;
}

void WinHttpRequest::abort()
{
    if (in_flight_) {
        abort_requested_ = true;
        return;
    }
    response_.clear();
}

} // namespace om::platform::win32
