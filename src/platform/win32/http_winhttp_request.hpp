#pragma once
// One request object over WinHTTP: a session kept for the object's life, a connection and a request
// handle per send.
#include "platform/http_request.hpp"
#include "platform/http_response.hpp"

#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <utility>

namespace om::platform::win32 {

struct WinHttpHandleClose {
    void operator()(void* handle) const { WinHttpCloseHandle(static_cast<HINTERNET>(handle)); }
};
using WinHttpHandle = std::unique_ptr<void, WinHttpHandleClose>;

class WinHttpRequest : public HttpRequest {
public:
    WinHttpRequest();

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
    // Runs the transfer; returns the WinHTTP error of a failed step, 0 when the response is complete.
    DWORD transfer();
    void read_response_headers(HINTERNET request);
    void raise_error(DWORD error);

    WinHttpHandle session_;
    HttpEvents* events_ = nullptr;
    int timeouts_[4] = {0, 60000, 30000, 30000};
    std::string url_;
    std::vector<std::pair<std::string, std::string>> request_headers_;
    bool keep_body_ = true;
    bool in_flight_ = false;
    bool abort_requested_ = false;

    HttpResponse response_;
};

} // namespace om::platform::win32
