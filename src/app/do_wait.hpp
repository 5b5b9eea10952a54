#pragma once

namespace om {

struct Context;

// Waits `wait` seconds of elapsed (monotonic) time while the window keeps processing its events.
// A wait of 0 or less returns at once without yielding.
void do_wait(Context& context, const float& wait);

} // namespace om
