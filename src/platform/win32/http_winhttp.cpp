#include "platform/win32/http_winhttp.hpp"

#include "platform/win32/http_winhttp_request.hpp"

namespace om::platform::win32 {

std::unique_ptr<HttpRequest> WinHttpService::create_request()
{
    return std::make_unique<WinHttpRequest>();
}

} // namespace om::platform::win32
