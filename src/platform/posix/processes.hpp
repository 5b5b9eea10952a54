#pragma once
// Processes on posix: posix_spawn of Windows-style command lines, waitpid, the program's own path and
// version block, and the immediate end of the program.
#include "platform/process.hpp"
#include "platform/version_info.hpp"

#include <string>
#include <vector>

namespace om::platform::posix {

class PosixProcesses : public Processes {
public:
    // arguments: argv[1..] of this process; versions reads this program's own version block.
    PosixProcesses(std::vector<std::string> arguments, VersionInfo& versions);

    std::string command_line_text() override;
    std::string executable_path() override;
    OwnVersion own_version() override;
    std::uint32_t start(const std::string& command_line, int show_window) override;
    std::optional<std::uint32_t> wait_for_exit(std::uint32_t process_id) override;
    [[noreturn]] void end_program() override;

private:
    std::vector<std::string> arguments_;
    VersionInfo& versions_;
};

} // namespace om::platform::posix
