#pragma once
// The two folder-listing parses, run by the finished-response handler of the request object while the
// matching listing request finishes.
#include <string>

namespace om {

struct Context;

// Finds the first "up_support"...".exe" name; it is pending unless its completion marker exists.
void parse_support_listing(Context& context, const std::string& listing);

// Finds the first "om_exe.v."...".exe" name, cuts its version, decides exe_available, forms exe_address
// and ends by calling notify (also when nothing was found).
void parse_exe_listing(Context& context, const std::string& listing);

} // namespace om
