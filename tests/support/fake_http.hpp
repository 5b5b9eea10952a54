#pragma once
// An in-memory request object: responses by address, events delivered during send() in the order
// start, data..., finished (or error), and a log of every call and event.
#include "platform/http_request.hpp"

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace om::test {

struct FakeResponse {
    long status = 200;
    std::string content_type = "text/html";
    std::string body;
    // Sizes of the data events; empty: the whole body in one event.
    std::vector<std::size_t> chunks;
    // "Content-Length" is the body's size unless set here; with `no_content_length` it is missing.
    std::map<std::string, std::string> headers;
    bool no_content_length = false;
    // The request fails through the error event (after `chunks_before_error` data events).
    bool error_event = false;
    std::size_t chunks_before_error = 0;
    // send() itself throws HttpCallFailed.
    bool send_throws = false;
};

class FakeHttp : public platform::HttpService {
public:
    // By full address ("http://..."); any other address answers 404 "not found".
    std::map<std::string, FakeResponse> responses;
    // Every call and event in order: "timeouts 2000 2000 2000 2000", "open GET http://x false",
    // "header User-Agent: MyCustomUser", "keep_body 1", "send", "start 200 text/html", "data 400",
    // "finished", "error", "abort", "text", "body".
    std::vector<std::string> log;
    // The addresses sent, in order.
    std::vector<std::string> sent;
    // User-Agent of each send.
    std::vector<std::string> user_agents;

    std::unique_ptr<platform::HttpRequest> create_request() override;
    // Entries of the log that start with a prefix.
    std::vector<std::string> entries(const std::string& prefix) const;
};

} // namespace om::test
