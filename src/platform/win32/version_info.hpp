#pragma once
// Version blocks through version.dll (GetFileVersionInfoSizeA, GetFileVersionInfoA).
#include "platform/version_info.hpp"

namespace om::platform::win32 {

class Win32VersionInfo : public VersionInfo {
public:
    std::vector<std::uint8_t> file_version_block(const std::string& path) override;
};

} // namespace om::platform::win32
