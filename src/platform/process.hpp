#pragma once
// Process service: this program's own identity, starting and waiting for programs, ending the program.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace om::platform {

// Show-window values the updater passes.
inline constexpr int sw_normal = 1;
inline constexpr int sw_minimized = 2;
inline constexpr int sw_min_no_activate = 6;

// A program that could not be started (not found, not executable).
class StartFailed : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

struct OwnVersion {
    int major = 0, minor = 0, revision = 0;
};

class Processes {
public:
    virtual ~Processes() = default;
    // The argument text after the program's own name, as one string.
    virtual std::string command_line_text() = 0;
    // Full path of the running executable.
    virtual std::string executable_path() = 0;
    // Major, minor and revision of this program's own version resource.
    virtual OwnVersion own_version() = 0;
    // Starts a command line (program, then arguments, as a command prompt takes them) in the current
    // folder, its first window shown with show_window; returns the process id. Throws StartFailed.
    virtual std::uint32_t start(const std::string& command_line, int show_window) = 0;
    // Opens the process for waiting only, waits until it ends, closes the handle. Returns at once
    // when the process cannot be opened.
    virtual void wait_for_exit(std::uint32_t process_id) = 0;
    // Ends the program at once: no later step of any caller runs, nothing more is written.
    [[noreturn]] virtual void end_program() = 0;
};

} // namespace om::platform
