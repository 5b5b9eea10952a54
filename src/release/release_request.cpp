#include "release/release_request.hpp"

#include "app/context.hpp"
#include "common/regimes.hpp"
#include "download/request_events.hpp"

namespace om {

void ensure_request_object(Context& context)
{
    if (!context.req)
        context.req = context.platform.http.create_request();
    if (!context.req)
        throw StepFailed("no request object");
    if (!context.req_events)
        context.req_events = std::make_unique<RequestEvents>(context);
    context.req->set_events(context.req_events.get());
}

void send_release_request(Context& context, const std::string& address)
{
    auto& req = *context.req;
    req.set_timeouts(2000, 2000, 2000, 2000);
    req.open("GET", "http://" + address, false);
    req.set_request_header("User-Agent", "MyCustomUser");
    req.keep_body(true); // the parses and the page reader read the whole response
    context.response = Context::Response{};
    req.send();
}

} // namespace om
