#include "install/shell_and_wait.hpp"

#include "app/context.hpp"

namespace om {

std::int32_t ShellAndWait(Context& context, const std::string& command_line, const std::int32_t& window_style)
{
    auto& processes = context.platform.processes;
    // A start failure (StartFailed) leaves here before anything is waited for.
    const std::uint32_t process_id = processes.start(command_line, window_style);
    processes.wait_for_exit(process_id);
    return static_cast<std::int32_t>(process_id);
}

} // namespace om
