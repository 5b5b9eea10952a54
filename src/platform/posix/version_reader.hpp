#pragma once
// Version blocks read from program files: the RT_VERSION resource of a PE file (PE32 and PE32+), or
// the ".om_version" section of an ELF file (see version_block.hpp).
#include "platform/version_info.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace om::platform::posix {

// The version block carried by a program file's bytes; empty when there is none or the file is
// malformed. Every offset and size in the file is checked against the buffer.
std::vector<std::uint8_t> read_version_block(std::span<const std::uint8_t> file);

class VersionReader : public VersionInfo {
public:
    // Files above this size are not read (no program the updater surveys comes near it).
    static constexpr std::size_t max_file_size = std::size_t{256} << 20;
    std::vector<std::uint8_t> file_version_block(const std::string& path) override;
};

} // namespace om::platform::posix
