#pragma once
// A file written through a temporary file beside its target and put in place by commit().
#include "platform/file_system.hpp"
#include "platform/win32/file_handle.hpp"

#include <memory>
#include <string>
#include <vector>

namespace om::platform::win32 {

class Win32FileWriter : public FileWriter {
public:
    // nullptr when the temporary file cannot be created.
    static std::unique_ptr<Win32FileWriter> open(const std::string& target);
    ~Win32FileWriter() override;

    bool write(std::span<const std::uint8_t> bytes) override;
    bool restart() override;
    bool commit() override;

    // Name of the temporary file: the target's name with this suffix, in the target's folder.
    static constexpr const char* temporary_suffix = ".om_part";
    // Downloads arrive in chunks of a few KiB; gathering them into large writes keeps the number of
    // WriteFile calls (and Wine server round trips) low.
    static constexpr std::size_t buffer_size = 1024 * 1024;

private:
    Win32FileWriter(std::string target, std::string temporary, UniqueFile file);
    bool flush_buffer();
    bool write_through(const std::uint8_t* data, std::size_t size);

    std::string target_;
    std::string temporary_;
    UniqueFile file_;
    std::vector<std::uint8_t> buffer_;
    bool failed_ = false;
    bool finished_ = false;
};

} // namespace om::platform::win32
