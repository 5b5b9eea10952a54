#pragma once
// One package transfer: a synchronous GET on the session's request object, streamed to disk.
#include <string>

namespace om {

struct Context;

// Fetches "http://" + address into `path`. The body goes chunk by chunk into a temporary file beside
// `path` (the transfer events write into context.download.sink); only a sound response - a 2xx status,
// every announced byte received, every write done - is put under `path`. Otherwise throws StepFailed
// and `path` stays as it was.
void fetch_to_file(Context& context, const std::string& address, const std::string& path);

} // namespace om
