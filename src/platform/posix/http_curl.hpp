#pragma once
// HTTP request object over libcurl (not built yet).
#include "platform/http_request.hpp"

namespace om::platform::posix {

class CurlHttpService : public HttpService {
public:
    std::unique_ptr<HttpRequest> create_request() override { return nullptr; }
};

} // namespace om::platform::posix
