#pragma once
// File times as dates: FileTimeToSystemTime followed by SystemTimeToVariantTime, with no time-zone change.
#include "platform/ftp_service.hpp"

#include <optional>

namespace om {

// Days since 30 December 1899 with the time of day as the fraction (whole seconds; a date before
// that day counts its days negative with the time still added away from zero, as dates do).
// nullopt when the file time is beyond the system-time range or its year is outside 100..9999.
std::optional<double> date_of_file_time(platform::FileTime time);

} // namespace om
