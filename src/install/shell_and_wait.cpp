#include "install/shell_and_wait.hpp"

#include "app/context.hpp"
#include "common/log.hpp"
#include "install/command_lines.hpp"

namespace om {

std::int32_t ShellAndWait(Context& context, const std::string& command_line, const std::int32_t& window_style)
{
    auto& processes = context.platform.processes;
    auto& clock = context.platform.clock;
    const std::string started = "ran \"" + command_line + "\" (window style " + std::to_string(window_style) + ")";
    const std::int64_t start_ms = clock.monotonic_ms();
    std::uint32_t process_id = 0;
    try {
        process_id = processes.start(command_line, window_style);
    } catch (const platform::StartFailed& failure) {
        log::line(started + ": not started: " + failure.what());
        throw;
    }
    const auto code = processes.wait_for_exit(process_id);
    const std::int64_t elapsed_ms = clock.monotonic_ms() - start_ms;
    log::line(started + ": exit code " + (code ? std::to_string(*code) : std::string("unknown")) + " after " +
              std::to_string(elapsed_ms / 1000) + "." + std::to_string(elapsed_ms % 1000 / 100) + " s");
    return code ? static_cast<std::int32_t>(*code) : unknown_exit_code;
}

std::int32_t start_application(Context& context)
{
    const std::string command_line = quoted_program(context.session.install_dir + "ombrix32.exe");
    log::line("started \"" + command_line + "\" (window style " + std::to_string(platform::sw_minimized) + ")");
    return static_cast<std::int32_t>(context.platform.processes.start(command_line, platform::sw_minimized));
}

} // namespace om
