#pragma once
// Version blocks through version.dll (not built yet).
#include "platform/version_info.hpp"

namespace om::platform::win32 {

class Win32VersionInfo : public VersionInfo {
public:
    std::vector<std::uint8_t> file_version_block(const std::string&) override { return {}; }
};

} // namespace om::platform::win32
