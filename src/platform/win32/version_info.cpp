#include "platform/win32/version_info.hpp"

#include <windows.h>

namespace om::platform::win32 {

std::vector<std::uint8_t> Win32VersionInfo::file_version_block(const std::string& path)
{
    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
    if (size == 0)
        return {}; // no version resource, or the file cannot be read
    std::vector<std::uint8_t> block(size);
    // A block that could not be read is no version at all: a zeroed buffer would read as 0.0.0.
    if (!GetFileVersionInfoA(path.c_str(), 0, size, block.data()))
        return {};
    return block;
}

} // namespace om::platform::win32
