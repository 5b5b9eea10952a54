#pragma once
// A scripted request object: responses by address, events delivered during send() in the order start,
// data..., finished (or error), and a log of the calls that set a request up or abandon it.
#include "platform/http_request.hpp"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace om::test {

struct FakeResponse {
    long status = 200;
    std::string body{};
    std::vector<std::size_t> chunks{}; // sizes of the data events; empty: the whole body in one
    // "Content-Length" is the body's size unless set here; with `no_content_length` it is missing.
    std::map<std::string, std::string> headers{};
    bool no_content_length = false;
    int error_after = -1;     // the error event comes after this many data events
    int restart_after = -1;   // after this many data events the server starts over with the whole body
    bool send_throws = false; // send() itself throws HttpCallFailed
};

class FakeHttp : public platform::HttpService {
public:
    // By full address ("http://..."); any other address answers 404 "not found".
    std::map<std::string, FakeResponse> responses;
    // "timeouts 2000 2000 2000 2000", "open GET http://x false", "header User-Agent: MyCustomUser",
    // "keep_body 1", "abort".
    std::vector<std::string> log;

    std::unique_ptr<platform::HttpRequest> create_request() override;
    std::vector<std::string> entries(const std::string& prefix) const;
};

} // namespace om::test
