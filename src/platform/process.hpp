#pragma once
// Process service: this program's own identity, starting and waiting for programs, ending the program.
#include <cstdint>
#include <optional>
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
    // folder, its first window shown with show_window; returns the process id. Throws StartFailed. The
    // started process stays held (its handle kept) until it is waited for, so that the wait is for
    // that very process even when its id is reused.
    virtual std::uint32_t start(const std::string& command_line, int show_window) = 0;
    // Waits until the process that start() gave this id ends, releases it and returns its exit code.
    // Nothing when it is not a process started here or was already waited for.
    virtual std::optional<std::uint32_t> wait_for_exit(std::uint32_t process_id) = 0;
    // Ends the program at once: no later step of any caller runs, nothing more is written.
    [[noreturn]] virtual void end_program() = 0;
};

} // namespace om::platform
