#pragma once
// Clock service: wall time for texts, monotonic time for waits.
#include <cstdint>

namespace om::platform {

struct WallTime {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
};

class Clock {
public:
    virtual ~Clock() = default;
    virtual WallTime local_now() = 0;
    // Milliseconds from an arbitrary start; never goes back, unaffected by the wall clock.
    virtual std::int64_t monotonic_ms() = 0;
};

} // namespace om::platform
