#pragma once
// Wall time from GetLocalTime, monotonic time from GetTickCount64.
#include "platform/clock.hpp"

namespace om::platform::win32 {

class Win32Clock : public Clock {
public:
    WallTime local_now() override;
    std::int64_t monotonic_ms() override;
};

} // namespace om::platform::win32
