#include "platform/win32/processes.hpp"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace om::platform::win32 {

void Win32Processes::HandleCloser::operator()(void* handle) const
{
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
        ::CloseHandle(handle);
}

std::string system_program_path(const std::string& command_line)
{
    const std::string name = command_line.substr(0, command_line.find_first_of(" \t"));
    if (name.empty() || name.find_first_of("\"\\/:") != std::string::npos)
        return {};
    char folder[MAX_PATH] = {};
    const UINT length = ::GetSystemDirectoryA(folder, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return {};
    std::string path = std::string(folder, length) + "\\" + name;
    if (path.size() < 4 ||
        ::CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, path.c_str() + path.size() - 4, 4, ".exe", 4) != CSTR_EQUAL)
        path += ".exe";
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
        return {};
    return path;
}

std::string arguments_after_program(const std::string& line)
{
    std::size_t i = 0;
    if (i < line.size() && line[i] == '"') {
        const std::size_t close = line.find('"', 1);
        i = close == std::string::npos ? line.size() : close + 1;
    }
    while (i < line.size() && line[i] != ' ' && line[i] != '\t')
        ++i;
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t'))
        ++i;
    return line.substr(i);
}

std::string Win32Processes::command_line_text()
{
    const char* line = ::GetCommandLineA();
    return arguments_after_program(line ? line : "");
}

std::string Win32Processes::executable_path()
{
    std::vector<char> buffer(MAX_PATH);
    for (;;) {
        const DWORD length = ::GetModuleFileNameA(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0)
            return {};
        if (length < buffer.size())
            return std::string(buffer.data(), length);
        buffer.resize(buffer.size() * 2);
    }
}

OwnVersion Win32Processes::own_version()
{
    const std::string path = executable_path();
    DWORD ignored = 0;
    const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return {};
    std::vector<std::uint8_t> block(size);
    if (!::GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return {};
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    if (!::VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) || fixed == nullptr ||
        length < sizeof(VS_FIXEDFILEINFO))
        return {};
    // Major, minor and the fourth part of the file version.
    return OwnVersion{static_cast<int>(HIWORD(fixed->dwFileVersionMS)),
                      static_cast<int>(LOWORD(fixed->dwFileVersionMS)),
                      static_cast<int>(LOWORD(fixed->dwFileVersionLS))};
}

std::uint32_t Win32Processes::start(const std::string& command_line, int show_window)
{
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(show_window);
    PROCESS_INFORMATION info{};
    std::vector<char> line(command_line.begin(), command_line.end());
    line.push_back('\0');
    // A system tool named bare runs from the system folder, never a file of that name in the current
    // folder or beside the updater; its command line keeps its words.
    const std::string application = system_program_path(command_line);
    if (!::CreateProcessA(application.empty() ? nullptr : application.c_str(), line.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, nullptr, &startup, &info))
        throw StartFailed("cannot start: " + command_line + " (error " + std::to_string(::GetLastError()) + ")");
    const std::unique_ptr<void, HandleCloser> thread(info.hThread);
    started_[static_cast<std::uint32_t>(info.dwProcessId)].reset(info.hProcess);
    return static_cast<std::uint32_t>(info.dwProcessId);
}

std::optional<std::uint32_t> Win32Processes::wait_for_exit(std::uint32_t process_id)
{
    const auto found = started_.find(process_id);
    if (found == started_.end())
        return std::nullopt; // not started here, or already waited for
    const std::unique_ptr<void, HandleCloser> process = std::move(found->second);
    started_.erase(found);
    DWORD code = 0;
    if (::WaitForSingleObject(process.get(), INFINITE) != WAIT_OBJECT_0 || !::GetExitCodeProcess(process.get(), &code))
        return std::nullopt;
    return static_cast<std::uint32_t>(code);
}

void Win32Processes::end_program()
{
    ::ExitProcess(0);
}

} // namespace om::platform::win32
