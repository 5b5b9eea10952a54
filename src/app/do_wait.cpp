#include "app/do_wait.hpp"

#include "app/context.hpp"

#include <algorithm>
#include <cstdint>

namespace om {

void do_wait(Context& context, const float& wait)
{
    if (!(wait > 0))
        return;
    auto& clock = context.platform.clock;
    const std::int64_t start = clock.monotonic_ms();
    const auto total = static_cast<std::int64_t>(static_cast<double>(wait) * 1000.0);
    for (std::int64_t elapsed = 0; elapsed < total; elapsed = clock.monotonic_ms() - start) {
        // Sleep in the message loop instead of spinning; events still run as they arrive.
        context.platform.window.wait_events(static_cast<int>(std::min<std::int64_t>(total - elapsed, 50)));
    }
}

} // namespace om
