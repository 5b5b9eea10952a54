#include "platform/posix/file_system.hpp"

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

// Downloads stream through the writer at up to 1 GB/s; a large stdio buffer keeps the write calls few.
constexpr std::size_t writer_buffer_size = std::size_t{1} << 20;

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

std::string folder_of(const std::string& posix_path)
{
    auto slash = posix_path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : posix_path.substr(0, slash);
}

class StdioFile {
public:
    explicit StdioFile(FILE* file) : file_(file) {}
    ~StdioFile()
    {
        if (file_)
            std::fclose(file_);
    }
    StdioFile(const StdioFile&) = delete;
    StdioFile& operator=(const StdioFile&) = delete;
    FILE* get() const { return file_; }
    bool close()
    {
        FILE* file = file_;
        file_ = nullptr;
        return file && std::fclose(file) == 0;
    }

private:
    FILE* file_;
};

class TempFileWriter : public FileWriter {
public:
    TempFileWriter(std::string target, std::string temp, FILE* file)
        : target_(std::move(target)), temp_(std::move(temp)), file_(file), buffer_(writer_buffer_size)
    {
        std::setvbuf(file_.get(), buffer_.data(), _IOFBF, buffer_.size());
    }
    ~TempFileWriter() override
    {
        if (!committed_) {
            file_.close();
            ::unlink(temp_.c_str());
        }
    }

    bool write(std::span<const std::uint8_t> bytes) override
    {
        if (committed_ || failed_ || !file_.get())
            return false;
        if (!bytes.empty() && std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) != bytes.size())
            failed_ = true;
        return !failed_;
    }

    bool restart() override
    {
        if (committed_ || failed_ || !file_.get())
            return false;
        // The buffered bytes are dropped with the rest: flushing first keeps stdio's position right.
        failed_ = std::fflush(file_.get()) != 0 || ::ftruncate(::fileno(file_.get()), 0) != 0 ||
                  std::fseek(file_.get(), 0, SEEK_SET) != 0;
        return !failed_;
    }

    bool commit() override
    {
        if (committed_ || failed_ || !file_.get())
            return false;
        bool ok = std::fflush(file_.get()) == 0 && ::fsync(::fileno(file_.get())) == 0;
        ok = file_.close() && ok;
        ok = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
        if (!ok) {
            failed_ = true;
            return false; // the destructor removes the temporary file
        }
        committed_ = true;
        return true;
    }

private:
    std::string target_;
    std::string temp_;
    StdioFile file_;
    std::vector<char> buffer_;
    bool committed_ = false;
    bool failed_ = false;
};

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
    static std::atomic<unsigned> counter{0};
    const std::string target = to_posix_path(path);
    const mode_t mode = ends_with_exe(target) ? 0777 : 0666;
    // The temporary file sits in the target's folder so that the final rename stays on one file system.
    const std::string folder = folder_of(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp =
            folder + "/.om_write_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".tmp";
        UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        FILE* file = ::fdopen(fd.get(), "wb");
        if (!file) {
            ::unlink(temp.c_str());
            return nullptr;
        }
        fd.release(); // the FILE owns it now
        return std::make_unique<TempFileWriter>(target, std::move(temp), file);
    }
    return nullptr;
}

} // namespace om::platform::posix
