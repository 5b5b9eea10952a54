#include "platform/posix/http_curl.hpp"

#include "platform/http_request_object.hpp"
#include "platform/posix/http_curl_exchange.hpp"

#include <curl/curl.h>

namespace om::platform::posix {

CurlHttpService::CurlHttpService()
{
    curl_global_init(CURL_GLOBAL_DEFAULT);
}

CurlHttpService::~CurlHttpService()
{
    curl_global_cleanup();
}

std::unique_ptr<HttpRequest> CurlHttpService::create_request()
{
    return std::make_unique<HttpRequestObject>(std::make_unique<CurlHttpExchange>());
}

} // namespace om::platform::posix
