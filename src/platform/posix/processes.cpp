#include "platform/posix/processes.hpp"

#include "platform/posix/command_line.hpp"
#include "platform/posix/program_search.hpp"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace om::platform::posix {

PosixProcesses::PosixProcesses(std::vector<std::string> arguments, VersionInfo& versions)
    : arguments_(std::move(arguments)), versions_(versions)
{
}

std::string PosixProcesses::command_line_text()
{
    std::string text;
    for (const auto& argument : arguments_) {
        if (!text.empty())
            text += ' ';
        text += argument;
    }
    return text;
}

std::string PosixProcesses::executable_path()
{
    char buffer[PATH_MAX];
    const ssize_t length = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (length <= 0)
        return {};
    return std::string(buffer, static_cast<std::size_t>(length));
}

OwnVersion PosixProcesses::own_version()
{
    const std::vector<std::uint8_t> block = versions_.file_version_block(executable_path());
    if (block.size() < 56)
        return {};
    auto word = [&](std::size_t at) { return static_cast<int>(block[at] | (block[at + 1] << 8)); };
    // The fixed block's file version: minor at 48, major at 50, fourth part at 52.
    return OwnVersion{word(50), word(48), word(52)};
}

std::uint32_t PosixProcesses::start(const std::string& command_line, int /*show_window: no windows to style*/)
{
    std::vector<std::string> args = split_windows_command_line(command_line);
    if (args.empty())
        throw StartFailed("empty command line");
    std::string own = executable_path();
    own = own.substr(0, own.find_last_of('/') + 1);
    const auto program = find_program(args[0], own);
    if (!program)
        throw StartFailed("program not found: " + args[0]);

    std::vector<char*> argv;
    for (auto& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = ::posix_spawn(&pid, program->c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0)
        throw StartFailed("cannot start " + *program + ": " + std::strerror(error));
    return static_cast<std::uint32_t>(pid);
}

std::optional<std::uint32_t> PosixProcesses::wait_for_exit(std::uint32_t process_id)
{
    int status = 0;
    // Reaps the child; fails at once for a process that is not a child (already reaped or foreign).
    pid_t reaped = 0;
    while ((reaped = ::waitpid(static_cast<pid_t>(process_id), &status, 0)) < 0 && errno == EINTR) {
    }
    if (reaped < 0)
        return std::nullopt;
    // A program ended by a signal counts as failed, with the code a shell gives it.
    return static_cast<std::uint32_t>(WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status));
}

void PosixProcesses::end_program()
{
    std::_Exit(0);
}

} // namespace om::platform::posix
