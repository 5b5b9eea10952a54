#pragma once
// One discovery request on the session's request object, with the fixed request settings.
#include <string>

namespace om {

struct Context;

// Creates the request object and its event handlers when start-up has not done so yet, and connects
// the handlers to it.
void ensure_request_object(Context& context);

// Time-outs of 2000 ms, GET "http://" + address synchronously, "User-Agent: MyCustomUser", send. The
// events (and with them the listing parses) have run when this returns. Throws on a failed call.
void send_release_request(Context& context, const std::string& address);

} // namespace om
