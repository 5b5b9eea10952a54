#include "platform/win32/processes.hpp"

#include <windows.h>

#include <memory>
#include <string>
#include <vector>

namespace om::platform::win32 {

namespace {

struct HandleCloser {
    void operator()(HANDLE handle) const
    {
        if (handle != nullptr && handle != INVALID_HANDLE_VALUE)
            ::CloseHandle(handle);
    }
};
using OwnedHandle = std::unique_ptr<void, HandleCloser>;

} // namespace

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
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info))
        throw StartFailed("cannot start: " + command_line + " (error " + std::to_string(::GetLastError()) + ")");
    // Only the identifier is kept; the wait opens the process again.
    OwnedHandle process(info.hProcess);
    OwnedHandle thread(info.hThread);
    return static_cast<std::uint32_t>(info.dwProcessId);
}

void Win32Processes::wait_for_exit(std::uint32_t process_id)
{
    OwnedHandle process(::OpenProcess(SYNCHRONIZE, FALSE, process_id));
    if (!process)
        return; // already gone or not ours to wait for
    ::WaitForSingleObject(process.get(), INFINITE);
}

void Win32Processes::end_program()
{
    ::ExitProcess(0);
}

} // namespace om::platform::win32
