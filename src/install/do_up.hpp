#pragma once

namespace om {

struct Context;

// Installs what the session decided to install, records the versions, restarts the application and
// ends the program; returns only when nothing was to be installed.
void do_up(Context& context);

} // namespace om
