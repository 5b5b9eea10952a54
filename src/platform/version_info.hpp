#pragma once
// Version information service: the raw version-resource block of a program file.
#include <cstdint>
#include <string>
#include <vector>

namespace om::platform {

class VersionInfo {
public:
    virtual ~VersionInfo() = default;
    // The bytes GetFileVersionInfoA gives for the file: VS_VERSIONINFO with its fixed block at byte 40.
    // Empty when the file has no version resource or cannot be read.
    virtual std::vector<std::uint8_t> file_version_block(const std::string& path) = 0;
};

} // namespace om::platform
