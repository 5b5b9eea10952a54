#pragma once
// HTTP request object over the WinHTTP C API (not built yet).
#include "platform/http_request.hpp"

namespace om::platform::win32 {

class WinHttpService : public HttpService {
public:
    std::unique_ptr<HttpRequest> create_request() override { return nullptr; }
};

} // namespace om::platform::win32
