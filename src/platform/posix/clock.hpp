#pragma once
// Wall time from the local time zone, monotonic time from CLOCK_MONOTONIC.
#include "platform/clock.hpp"

namespace om::platform::posix {

class PosixClock : public Clock {
public:
    WallTime local_now() override;
    std::int64_t monotonic_ms() override;
};

} // namespace om::platform::posix
