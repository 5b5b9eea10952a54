#pragma once
// The window's handlers of the request object's four events: they drive the progress bar, route each
// finished response by the session's request-state flags, and end the program when a request fails.
#include "platform/http_request.hpp"

namespace om {

struct Context;

class RequestEvents : public platform::HttpEvents {
public:
    explicit RequestEvents(Context& context) : context_(context) {}

    void on_response_start(long status, const std::string& content_type) override;
    void on_response_data(std::span<const std::uint8_t> chunk) override;
    void on_response_finished() override;
    [[noreturn]] void on_error(long number, const std::string& description) override;

private:
    Context& context_;
};

} // namespace om
