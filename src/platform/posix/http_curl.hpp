#pragma once
// HTTP request object over libcurl: a multi handle driven on the calling thread, so that the four
// events are raised on that thread, in order, before send() returns.
#include "platform/http_request.hpp"

namespace om::platform::posix {

class CurlHttpService : public HttpService {
public:
    CurlHttpService();
    ~CurlHttpService() override;
    CurlHttpService(const CurlHttpService&) = delete;
    CurlHttpService& operator=(const CurlHttpService&) = delete;

    std::unique_ptr<HttpRequest> create_request() override;
};

} // namespace om::platform::posix
