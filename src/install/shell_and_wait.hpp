#pragma once
// Module shellandwait_mod2: start a command line and block until the started process has ended.
#include <cstdint>
#include <string>

namespace om {

struct Context;

// The result of ShellAndWait when the process's end could not be observed.
inline constexpr std::int32_t unknown_exit_code = -1;

// Starts `command_line` (program, then arguments, as a command prompt takes them) with its first window
// shown as `window_style`, then waits without a time-out until that process ends. The window takes no
// input during the wait. A program that cannot be started raises platform::StartFailed to the caller
// and nothing is waited for. Returns the process's exit code (unknown_exit_code when its end could not
// be observed).
std::int32_t ShellAndWait(Context& context, const std::string& command_line, const std::int32_t& window_style);

// Starts the application's main executable minimized, without waiting for it; returns its process id.
std::int32_t start_application(Context& context);

} // namespace om
