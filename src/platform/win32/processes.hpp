#pragma once
// Processes on Windows: CreateProcessA with a show-window value (bare system tool names taken from
// the system folder), the process handle kept until an unbounded wait reads the exit code, the program's own path and
// version resource, ExitProcess.
#include "platform/process.hpp"

#include <map>
#include <memory>

namespace om::platform::win32 {

class Win32Processes : public Processes {
public:
    std::string command_line_text() override;
    std::string executable_path() override;
    OwnVersion own_version() override;
    std::uint32_t start(const std::string& command_line, int show_window) override;
    std::optional<std::uint32_t> wait_for_exit(std::uint32_t process_id) override;
    [[noreturn]] void end_program() override;

private:
    struct HandleCloser {
        void operator()(void* handle) const;
    };
    // Each started process's handle by its id, from the start to the end of its wait.
    std::map<std::uint32_t, std::unique_ptr<void, HandleCloser>> started_;
};

// A program named by a bare name ("msiexec", "taskkill.exe") that exists in the system folder: its full
// path there; "" for any other command line.
std::string system_program_path(const std::string& command_line);

// The text after the program name of a whole command line (the name quoted or not), without the
// blanks that separate them.
std::string arguments_after_program(const std::string& command_line);

} // namespace om::platform::win32
