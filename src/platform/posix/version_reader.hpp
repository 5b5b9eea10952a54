#pragma once
// Version blocks read from PE and ELF files (not built yet).
#include "platform/version_info.hpp"

namespace om::platform::posix {

class VersionReader : public VersionInfo {
public:
    std::vector<std::uint8_t> file_version_block(const std::string&) override { return {}; }
};

} // namespace om::platform::posix
