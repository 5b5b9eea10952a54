#pragma once

namespace om {

struct Context;

// Uploads "current_version.txt" as the check-in report and deletes it; ends the program in an
// "/updated" run.
void send_check_in(Context& context);

} // namespace om
