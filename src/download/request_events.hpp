#pragma once
// The window's handlers of the request object's four events: they drive the progress bar, route each
// finished response by the session's request-state flags, and end the program when a request fails.
#include "platform/http_request.hpp"

namespace om {

struct Context;

// Size limits of one response: a release page or listing is a few KB, and no real installer comes near
// 4 GB (a package is also held to its announced length). Past its limit a response is aborted. The
// request object keeps a discovery body in a growing buffer, which briefly holds about twice its size:
// 4 MB keeps a refused page within a few MB of the program's own memory, under Wine too.
inline constexpr long long discovery_cap_bytes = 4LL * 1024 * 1024;
inline constexpr long long package_cap_bytes = 4LL * 1024 * 1024 * 1024;

// A 2xx status: the only kind whose body is read as a listing, a page or a package.
inline bool is_success_status(long status)
{
    return status >= 200 && status <= 299;
}

class RequestEvents : public platform::HttpEvents {
public:
    explicit RequestEvents(Context& context) : context_(context) {}

    void on_response_start(long status, const std::string& content_type) override;
    void on_response_data(std::span<const std::uint8_t> chunk) override;
    void on_response_finished() override;
    [[noreturn]] void on_error(long number, const std::string& description) override;

private:
    void refuse_oversized(long long cap);

    Context& context_;
};

} // namespace om
