#pragma once
#include "platform/clock.hpp"

#include <string>

namespace om {

struct Context;

// Uploads "current_version.txt" as the check-in report and deletes it; ends the program in an
// "/updated" run.
void send_check_in(Context& context);

// The report's remote file name: host, address, then "MM.DD.YYYY.HH.MM.SS.txt".
std::string check_in_report_name(const std::string& host, const std::string& address, const platform::WallTime& now);

} // namespace om
