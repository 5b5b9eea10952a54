#pragma once
// Processes on Windows: CreateProcessA with a show-window value, OpenProcess(SYNCHRONIZE) and an
// unbounded wait, the program's own path and version resource, ExitProcess.
#include "platform/process.hpp"

namespace om::platform::win32 {

class Win32Processes : public Processes {
public:
    std::string command_line_text() override;
    std::string executable_path() override;
    OwnVersion own_version() override;
    std::uint32_t start(const std::string& command_line, int show_window) override;
    void wait_for_exit(std::uint32_t process_id) override;
    [[noreturn]] void end_program() override;
};

// The text after the program name of a whole command line (the name quoted or not), without the
// blanks that separate them.
std::string arguments_after_program(const std::string& command_line);

} // namespace om::platform::win32
