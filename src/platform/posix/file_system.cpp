#include "platform/posix/file_system.hpp"

#include "platform/posix/package_file_writer.hpp"
#include "platform/posix/unique_fd.hpp"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace om::platform::posix {

namespace {

bool stat_path(const std::string& path, struct stat& info)
{
    return !path.empty() && ::stat(to_posix_path(path).c_str(), &info) == 0;
}

bool ends_with_exe(const std::string& path)
{
    if (path.size() < 4)
        return false;
    std::string tail = path.substr(path.size() - 4);
    std::transform(tail.begin(), tail.end(), tail.begin(), [](unsigned char c) { return std::tolower(c); });
    return tail == ".exe";
}

} // namespace

std::string to_posix_path(const std::string& path)
{
    std::string out = path;
    std::replace(out.begin(), out.end(), '\\', '/');
    return out;
}

bool PosixFileSystem::file_exists(const std::string& path)
{
    struct stat info {};
    return stat_path(path, info) && S_ISREG(info.st_mode);
}

bool PosixFileSystem::folder_exists(const std::string& path)
{
    struct stat info {};
    return stat_path(path, info) && S_ISDIR(info.st_mode);
}

bool PosixFileSystem::same_file(const std::string& a, const std::string& b)
{
    struct stat first {};
    struct stat second {};
    return stat_path(a, first) && stat_path(b, second) && first.st_dev == second.st_dev &&
           first.st_ino == second.st_ino;
}

bool PosixFileSystem::delete_file(const std::string& path)
{
    return !path.empty() && ::unlink(to_posix_path(path).c_str()) == 0;
}

bool PosixFileSystem::copy_file(const std::string& from, const std::string& to)
{
    // std::filesystem copies the contents and the permission bits.
    std::error_code error;
    return std::filesystem::copy_file(to_posix_path(from), to_posix_path(to),
                                      std::filesystem::copy_options::overwrite_existing, error) &&
           !error;
}

bool PosixFileSystem::rename_file(const std::string& from, const std::string& to)
{
    if (from.empty() || to.empty())
        return false;
    // renameat2(RENAME_NOREPLACE) refuses an existing target in the same step as the rename.
    const std::string source = to_posix_path(from), target = to_posix_path(to);
    if (::renameat2(AT_FDCWD, source.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
    // A file system without the flag: test, then rename.
    struct stat info {};
    if (::lstat(target.c_str(), &info) == 0)
        return false;
    return ::rename(source.c_str(), target.c_str()) == 0;
}

bool PosixFileSystem::create_folder(const std::string& path)
{
    return !path.empty() && ::mkdir(to_posix_path(path).c_str(), 0777) == 0;
}

bool PosixFileSystem::set_current_folder(const std::string& path)
{
    return !path.empty() && ::chdir(to_posix_path(path).c_str()) == 0;
}

std::string PosixFileSystem::current_folder()
{
    std::error_code error;
    std::string folder = std::filesystem::current_path(error).string();
    if (error)
        return {};
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

std::unique_ptr<FileWriter> PosixFileSystem::begin_write(const std::string& path)
{
    if (path.empty())
        return nullptr;
    const std::string target = to_posix_path(path);
    return PackageFileWriter::open(target, ends_with_exe(target) ? 0777 : 0666);
}

} // namespace om::platform::posix

namespace om::platform::posix {

std::optional<std::string> PosixFileSystem::read_small_file(const std::string& path, std::size_t max_bytes)
{
    UniqueFd fd(::open(to_posix_path(path).c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        return std::nullopt;
    std::string content;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(fd.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return std::nullopt;
        if (got == 0)
            return content;
        content.append(buffer, static_cast<std::size_t>(got));
        if (content.size() > max_bytes)
            return std::nullopt;
    }
}

} // namespace om::platform::posix
