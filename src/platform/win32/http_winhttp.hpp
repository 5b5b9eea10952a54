#pragma once
// HTTP request object over the WinHTTP C API. The wrapper raises the four events itself, on the
// calling thread, during send() (the automation object's events are not delivered under Wine).
#include "platform/http_request.hpp"

namespace om::platform::win32 {

class WinHttpService : public HttpService {
public:
    std::unique_ptr<HttpRequest> create_request() override;
};

} // namespace om::platform::win32
