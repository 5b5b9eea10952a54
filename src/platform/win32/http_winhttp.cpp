#include "platform/win32/http_winhttp.hpp"

#include "platform/http_request_object.hpp"
#include "platform/win32/http_winhttp_exchange.hpp"

namespace om::platform::win32 {

std::unique_ptr<HttpRequest> WinHttpService::create_request()
{
    return std::make_unique<HttpRequestObject>(std::make_unique<WinHttpExchange>());
}

} // namespace om::platform::win32
