#include "platform/win32/file_system.hpp"

#include "platform/win32/file_handle.hpp"
#include "platform/win32/file_writer.hpp"

namespace om::platform::win32 {

bool Win32FileSystem::file_exists(const std::string& path)
{
    // A listing of one name. A name with wildcards would list other files, and no file can be named
    // with them: such a name finds nothing.
    if (path.empty() || path.find_first_of("*?") != std::string::npos)
        return false;
    WIN32_FIND_DATAA found{};
    UniqueFind search = adopt_find(FindFirstFileA(path.c_str(), &found));
    if (!search)
        return false;
    constexpr DWORD not_listed = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    return (found.dwFileAttributes & not_listed) == 0;
}

bool Win32FileSystem::folder_exists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

namespace {

bool file_identity(const std::string& path, BY_HANDLE_FILE_INFORMATION& info)
{
    // No access rights are needed to read a file's identity, so a running program can be opened too.
    UniqueFile file = adopt_file(CreateFileA(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                             nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    return file && GetFileInformationByHandle(file.get(), &info) != 0;
}

} // namespace

bool Win32FileSystem::same_file(const std::string& a, const std::string& b)
{
    BY_HANDLE_FILE_INFORMATION first{}, second{};
    return file_identity(a, first) && file_identity(b, second) &&
           first.dwVolumeSerialNumber == second.dwVolumeSerialNumber && first.nFileIndexHigh == second.nFileIndexHigh &&
           first.nFileIndexLow == second.nFileIndexLow;
}

bool Win32FileSystem::delete_file(const std::string& path)
{
    return DeleteFileA(path.c_str()) != 0;
}

bool Win32FileSystem::copy_file(const std::string& from, const std::string& to)
{
    return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

bool Win32FileSystem::rename_file(const std::string& from, const std::string& to)
{
    return MoveFileA(from.c_str(), to.c_str()) != 0;
}

bool Win32FileSystem::create_folder(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != 0;
}

bool Win32FileSystem::set_current_folder(const std::string& path)
{
    // A full path with a drive letter changes the current drive as well.
    return !path.empty() && SetCurrentDirectoryA(path.c_str()) != 0;
}

std::string Win32FileSystem::current_folder()
{
    // The size first (terminator included), then the text; a folder changed in between is asked again.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD needed = GetCurrentDirectoryA(0, nullptr);
        if (needed == 0)
            return {};
        std::string folder(needed, '\0');
        const DWORD length = GetCurrentDirectoryA(needed, folder.data());
        if (length == 0)
            return {};
        if (length < needed) {
            folder.resize(length);
            return folder;
        }
    }
    return {};
}

std::unique_ptr<FileWriter> Win32FileSystem::begin_write(const std::string& path)
{
    return Win32FileWriter::open(path);
}

} // namespace om::platform::win32

namespace om::platform::win32 {

std::optional<std::string> Win32FileSystem::read_small_file(const std::string& path, std::size_t max_bytes)
{
    UniqueFile file = adopt_file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                             FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr))
            return std::nullopt;
        if (got == 0)
            return content;
        content.append(buffer, got);
        if (content.size() > max_bytes)
            return std::nullopt;
    }
}

} // namespace om::platform::win32
