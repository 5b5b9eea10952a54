#pragma once
// Wall and monotonic clocks (not built yet).
#include "platform/clock.hpp"

namespace om::platform::win32 {

class Win32Clock : public Clock {
public:
    WallTime local_now() override { return {}; }
    std::int64_t monotonic_ms() override { return 0; }
};

} // namespace om::platform::win32
