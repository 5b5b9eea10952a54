#pragma once
// The decision after a check: the up-to-date message with its count-down, or the offer of a support
// package, the full installer, the quick update or both.

namespace om {

struct Context;

// Every step runs on its own: a failing step is skipped and the next one runs.
void notify(Context& context);

} // namespace om
