#pragma once
// The current user's proxy for an http address: auto-detection or a PAC script through WinHTTP's
// proxy resolution, otherwise the named proxy with its bypass list.
#include <windows.h>
#include <winhttp.h>

#include <memory>
#include <string>

namespace om::platform::win32 {

struct WinHttpHandleClose {
    void operator()(void* handle) const { WinHttpCloseHandle(static_cast<HINTERNET>(handle)); }
};
using WinHttpHandle = std::unique_ptr<void, WinHttpHandleClose>;

class UserProxy {
public:
    // "host:port", "" for a direct connection.
    std::string proxy_for(const std::string& url);

private:
    // Read once: the settings of the user when the first request is sent.
    void read_settings();
    std::string from_auto_proxy(const std::string& url);

    bool read_ = false;
    bool auto_detect_ = false;
    std::wstring script_; // PAC address
    std::string named_;   // "host:port" from the settings, "" when none
    std::string bypass_;
    WinHttpHandle resolver_; // a session of its own for the proxy resolution, with short time-outs
};

} // namespace om::platform::win32
