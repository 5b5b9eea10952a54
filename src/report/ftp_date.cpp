#include "report/ftp_date.hpp"

#include <cstdint>

namespace om {
namespace {

constexpr std::uint64_t ticks_per_second = 10'000'000;
// Days from 1 January 1601 to 30 December 1899.
constexpr std::int64_t days_1601_to_1899_12_30 = 109205;

// Year of a day count since 1601-01-01 (proleptic Gregorian, H. Hinnant's civil_from_days).
int year_of(std::int64_t days_since_1601)
{
    const std::int64_t z = days_since_1601 - 134774 + 719468; // to days since 0000-03-01
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const std::int64_t day_of_era = z - era * 146097;
    const std::int64_t year_of_era = (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const std::int64_t day_of_year = day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const std::int64_t month_index = (5 * day_of_year + 2) / 153;
    const std::int64_t year = year_of_era + era * 400;
    return static_cast<int>(month_index >= 10 ? year + 1 : year);
}

} // namespace

std::optional<double> date_of_file_time(platform::FileTime time)
{
    const std::uint64_t ticks = time.ticks();
    if (ticks > 0x7FFFFFFFFFFFFFFFULL) {
        return std::nullopt; // FileTimeToSystemTime refuses it
    }
    const std::uint64_t seconds = ticks / ticks_per_second; // the date keeps whole seconds only
    const auto days_since_1601 = static_cast<std::int64_t>(seconds / 86400);
    const auto second_of_day = static_cast<std::int64_t>(seconds % 86400);
    const int year = year_of(days_since_1601);
    if (year < 100 || year > 9999) {
        return std::nullopt; // SystemTimeToVariantTime refuses it
    }
    const std::int64_t days = days_since_1601 - days_1601_to_1899_12_30;
    const double fraction = static_cast<double>(second_of_day) / 86400.0;
    return days >= 0 ? static_cast<double>(days) + fraction : static_cast<double>(days) - fraction;
}

} // namespace om
