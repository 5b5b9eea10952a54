#include "platform/posix/package_file_writer.hpp"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <unistd.h>

namespace om::platform::posix {

namespace {

constexpr std::size_t alignment = 4096;

std::string folder_of(const std::string& path)
{
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

} // namespace

std::unique_ptr<PackageFileWriter> PackageFileWriter::open(const std::string& target, unsigned mode)
{
    static std::atomic<unsigned> counter{0};
    // The temporary file sits in the target's folder so that the final rename stays on one file system.
    const std::string folder = folder_of(target);
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp =
            folder + "/.om_write_" + std::to_string(::getpid()) + "_" + std::to_string(counter++) + ".tmp";
        const int flags = O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC;
        UniqueFd fd(::open(temp.c_str(), flags | O_DIRECT, mode));
        bool direct = fd.valid();
        if (!direct && errno == EINVAL) // a file system without direct writes (tmpfs)
            fd = UniqueFd(::open(temp.c_str(), flags, mode));
        if (!fd.valid()) {
            if (errno == EEXIST)
                continue;
            return nullptr;
        }
        auto writer = std::unique_ptr<PackageFileWriter>(new PackageFileWriter(target, temp, std::move(fd), direct));
        if (!writer->buffer_)
            return nullptr; // the destructor removes the file
        return writer;
    }
    return nullptr;
}

PackageFileWriter::PackageFileWriter(std::string target, std::string temp, UniqueFd fd, bool direct)
    : target_(std::move(target)), temp_(std::move(temp)), fd_(std::move(fd)), direct_(direct),
      buffer_(static_cast<std::uint8_t*>(std::aligned_alloc(alignment, buffer_size)))
{
}

PackageFileWriter::~PackageFileWriter()
{
    if (!committed_) {
        fd_.close();
        ::unlink(temp_.c_str());
    }
}

bool PackageFileWriter::stop_direct()
{
    direct_ = false;
    return ::fcntl(fd_.get(), F_SETFL, ::fcntl(fd_.get(), F_GETFL) & ~O_DIRECT) == 0;
}

bool PackageFileWriter::write_out(std::size_t size)
{
    std::size_t done = 0;
    while (done < size && !failed_) {
        const ssize_t written = ::write(fd_.get(), buffer_.get() + done, size - done);
        if (written > 0)
            done += static_cast<std::size_t>(written);
        else if (written < 0 && errno == EINTR)
            continue;
        // A file system that opened the file for direct writes but refuses them: through the page cache.
        else if (!(written < 0 && errno == EINVAL && direct_ && stop_direct()))
            failed_ = true;
    }
    used_ = 0;
    return !failed_;
}

bool PackageFileWriter::write(std::span<const std::uint8_t> bytes)
{
    if (committed_ || failed_)
        return false;
    while (!bytes.empty()) {
        const std::size_t part = std::min(bytes.size(), buffer_size - used_);
        std::memcpy(buffer_.get() + used_, bytes.data(), part);
        used_ += part;
        bytes = bytes.subspan(part);
        if (used_ == buffer_size && !write_out(used_))
            return false;
    }
    return true;
}

bool PackageFileWriter::restart()
{
    if (committed_ || failed_)
        return false;
    used_ = 0;
    failed_ = ::ftruncate(fd_.get(), 0) != 0 || ::lseek(fd_.get(), 0, SEEK_SET) != 0;
    return !failed_;
}

bool PackageFileWriter::commit()
{
    if (committed_ || failed_)
        return false;
    // The last piece is seldom whole blocks: it goes through the page cache, and the sync below takes
    // it and the file's size to the disk with everything else.
    bool ok = !direct_ || stop_direct();
    ok = ok && write_out(used_) && ::fsync(fd_.get()) == 0;
    ok = fd_.close() && ok;
    ok = ok && ::rename(temp_.c_str(), target_.c_str()) == 0;
    if (!ok) {
        failed_ = true;
        return false; // the destructor removes the temporary file
    }
    committed_ = true;
    return true;
}

} // namespace om::platform::posix
