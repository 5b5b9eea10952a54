#pragma once
// A file written through a temporary file beside its target and put in place by commit(), made for
// packages of hundreds of megabytes: the bytes go to the disk straight from an aligned buffer of the
// writer's own (O_DIRECT where the file system takes it), not through the page cache. Copying into
// fresh page-cache pages made large downloads take two or three times as long in some runs; the disk
// itself keeps up. commit() still syncs the file before the rename, so a package is on the disk
// before it is trusted.
#include "platform/file_system.hpp"
#include "platform/posix/unique_fd.hpp"

#include <cstdlib>
#include <memory>
#include <string>

namespace om::platform::posix {

class PackageFileWriter : public FileWriter {
public:
    // Creates a new temporary file in the target's folder; nullptr when it cannot.
    static std::unique_ptr<PackageFileWriter> open(const std::string& target, unsigned mode);
    ~PackageFileWriter() override;
    PackageFileWriter(const PackageFileWriter&) = delete;
    PackageFileWriter& operator=(const PackageFileWriter&) = delete;

    bool write(std::span<const std::uint8_t> bytes) override;
    bool restart() override;
    bool commit() override;

    // Writes go to the disk in pieces of this size (a multiple of every block size in use).
    static constexpr std::size_t buffer_size = std::size_t{4} << 20;

private:
    struct Free {
        void operator()(std::uint8_t* p) const { std::free(p); }
    };
    PackageFileWriter(std::string target, std::string temp, UniqueFd fd, bool direct);
    // Writes the first `size` bytes of the buffer (whole blocks while writing directly).
    bool write_out(std::size_t size);
    // From here on through the page cache.
    bool stop_direct();

    std::string target_;
    std::string temp_;
    UniqueFd fd_;
    bool direct_;
    std::unique_ptr<std::uint8_t, Free> buffer_;
    std::size_t used_ = 0;
    bool committed_ = false;
    bool failed_ = false;
};

} // namespace om::platform::posix
