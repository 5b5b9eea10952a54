#pragma once
// A VS_VERSIONINFO block as Windows keeps it in a program's RT_VERSION resource: the header with the
// key L"VS_VERSION_INFO", padding to byte 40, then VS_FIXEDFILEINFO (52 bytes). posix programs carry
// this block in the ELF section named by version_section_name, so one version reader serves PE and ELF.
#include <array>
#include <cstdint>

namespace om::platform::posix {

inline constexpr const char* version_section_name = ".om_version";
inline constexpr std::size_t version_block_size = 92;

constexpr std::array<std::uint8_t, version_block_size> make_version_block(std::uint16_t major, std::uint16_t minor,
                                                                          std::uint16_t patch, std::uint16_t tweak)
{
    std::array<std::uint8_t, version_block_size> block{};
    auto put16 = [&](std::size_t at, std::uint16_t v) {
        block[at] = static_cast<std::uint8_t>(v & 0xff);
        block[at + 1] = static_cast<std::uint8_t>(v >> 8);
    };
    auto put32 = [&](std::size_t at, std::uint32_t v) {
        put16(at, static_cast<std::uint16_t>(v & 0xffff));
        put16(at + 2, static_cast<std::uint16_t>(v >> 16));
    };
    put16(0, version_block_size); // wLength
    put16(2, 52);                 // wValueLength: sizeof(VS_FIXEDFILEINFO)
    put16(4, 0);                  // wType: binary
    const char key[] = "VS_VERSION_INFO";
    for (std::size_t i = 0; i < sizeof key; ++i)
        put16(6 + 2 * i, static_cast<std::uint16_t>(key[i]));
    put32(40, 0xFEEF04BD); // dwSignature
    put32(44, 0x00010000); // dwStrucVersion
    put32(48, (std::uint32_t{major} << 16) | minor);
    put32(52, (std::uint32_t{patch} << 16) | tweak);
    put32(56, (std::uint32_t{major} << 16) | minor);
    put32(60, (std::uint32_t{patch} << 16) | tweak);
    put32(64, 0x3f);    // dwFileFlagsMask
    put32(72, 0x40004); // dwFileOS: VOS_NT_WINDOWS32
    put32(76, 1);       // dwFileType: VFT_APP
    return block;
}

} // namespace om::platform::posix

// Places a version block in the program's ELF section ".om_version".
#define OM_EMBED_VERSION_BLOCK(major, minor, patch, tweak)                                                             \
    extern "C" __attribute__((section(".om_version"), used))                                                           \
    const std::array<std::uint8_t, om::platform::posix::version_block_size>                                            \
        om_version_block = om::platform::posix::make_version_block(major, minor, patch, tweak)
