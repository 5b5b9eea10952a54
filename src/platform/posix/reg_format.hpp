#pragma once
// The registry export format ("REGEDIT4" and "Windows Registry Editor Version 5.00", 8-bit or UTF-16LE
// with a byte-order mark), read into keys and values and written back as REGEDIT4.
//
// Values are kept as the bytes the 8-bit registry calls see: a "name"="text" value is the text and one
// zero byte; dword: is four little-endian bytes; hex(N): is the bytes as written. A version 5.00 file
// keeps the text kinds (1, 2, 7) of its hex(N): values as UTF-16LE; those are turned into 8-bit text
// (UTF-8) when read, as the 8-bit calls convert them. What is written is REGEDIT4, where every byte
// is kept as it is, so a value read back is byte-identical to the one stored.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace om::platform::posix {

struct RegValueData {
    std::string name; // "" is the key's default value ("@")
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
    bool operator==(const RegValueData&) const = default;
};

struct RegKeyData {
    std::string path; // full path as written, root included: "HKEY_CURRENT_USER\Software\..."
    std::vector<RegValueData> values;
    bool operator==(const RegKeyData&) const = default;
};

// All keys of a file, in the order they first appear.
struct RegHive {
    std::vector<RegKeyData> keys;
    bool operator==(const RegHive&) const = default;

    // Letter case is ignored in key paths and value names, as the registry does.
    RegKeyData* find_key(std::string_view path);
    // A key exists when it has a section or a section below it.
    bool key_exists(std::string_view path) const;
    // The key's section, added at the end when the key had none.
    RegKeyData& key_section(std::string_view path);
};

RegValueData* find_value(RegKeyData& key, std::string_view name);
bool same_name(std::string_view a, std::string_view b);

// nullopt when the bytes are not a registry export file this reader understands.
std::optional<RegHive> parse_reg_file(std::span<const std::uint8_t> file);
// The REGEDIT4 text of the hive.
std::string write_reg_file(const RegHive& hive);

} // namespace om::platform::posix
