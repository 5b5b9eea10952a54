#include "platform/win32/file_writer.hpp"

#include <algorithm>
#include <cstring>

namespace om::platform::win32 {

std::unique_ptr<Win32FileWriter> Win32FileWriter::open(const std::string& target)
{
    if (target.empty())
        return nullptr;
    std::string temporary = target + temporary_suffix;
    UniqueFile file = adopt_file(CreateFileA(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                             FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        return nullptr;
    return std::unique_ptr<Win32FileWriter>(new Win32FileWriter(target, std::move(temporary), std::move(file)));
}

Win32FileWriter::Win32FileWriter(std::string target, std::string temporary, UniqueFile file)
    : target_(std::move(target)), temporary_(std::move(temporary)), file_(std::move(file))
{
    buffer_.reserve(buffer_size);
}

Win32FileWriter::~Win32FileWriter()
{
    if (finished_)
        return;
    file_.reset();
    DeleteFileA(temporary_.c_str());
}

bool Win32FileWriter::write_through(const std::uint8_t* data, std::size_t size)
{
    while (size > 0) {
        const DWORD part = static_cast<DWORD>(std::min<std::size_t>(size, 64u * 1024 * 1024));
        DWORD written = 0;
        if (!WriteFile(file_.get(), data, part, &written, nullptr) || written == 0)
            return false;
        data += written;
        size -= written;
    }
    return true;
}

bool Win32FileWriter::flush_buffer()
{
    if (buffer_.empty())
        return true;
    const bool ok = write_through(buffer_.data(), buffer_.size());
    buffer_.clear();
    return ok;
}

bool Win32FileWriter::write(std::span<const std::uint8_t> bytes)
{
    if (failed_ || finished_)
        return false;
    if (buffer_.size() + bytes.size() > buffer_size) {
        if (!flush_buffer()) {
            failed_ = true;
            return false;
        }
    }
    if (bytes.size() >= buffer_size) {
        if (!write_through(bytes.data(), bytes.size()))
            failed_ = true;
        return !failed_;
    }
    buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
    return true;
}

bool Win32FileWriter::restart()
{
    if (failed_ || finished_)
        return false;
    buffer_.clear();
    LARGE_INTEGER start{};
    failed_ = !SetFilePointerEx(file_.get(), start, nullptr, FILE_BEGIN) || !SetEndOfFile(file_.get());
    return !failed_;
}

bool Win32FileWriter::commit()
{
    if (finished_ || failed_)
        return false;
    bool ok = flush_buffer();
    ok = ok && FlushFileBuffers(file_.get()) != 0;
    ok = file_.reset() && ok;
    ok = ok && MoveFileExA(temporary_.c_str(), target_.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH);
    if (!ok) {
        // Leave the target as it was; the destructor removes the temporary file.
        failed_ = true;
        return false;
    }
    finished_ = true;
    return true;
}

} // namespace om::platform::win32
