#include "platform/posix/clock.hpp"

#include <ctime>

namespace om::platform::posix {

WallTime PosixClock::local_now()
{
    std::time_t now = std::time(nullptr);
    std::tm local{};
    if (!::localtime_r(&now, &local))
        return {};
    return WallTime{local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

std::int64_t PosixClock::monotonic_ms()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<std::int64_t>(now.tv_sec) * 1000 + now.tv_nsec / 1'000'000;
}

} // namespace om::platform::posix
