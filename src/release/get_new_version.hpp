#pragma once
// One check for updates: the check-in report, the support-file listing, the release page and the
// quick-update listing, in this order.
#include <string>

namespace om {

struct Context;

// Returns the page's version text as cut ("v.2.1.5"), or "" when none was cut or the check failed.
std::string get_new_version(Context& context);

} // namespace om
