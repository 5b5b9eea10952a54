#pragma once
// Registry service: HKEY_CURRENT_USER keys opened for one read or one write.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace om::platform {

enum class KeyAccess { query_value, set_value };

// Registry value types the updater writes.
inline constexpr std::uint32_t reg_sz = 1;
inline constexpr std::uint32_t reg_dword = 4;

// An open key; closing happens when the object is destroyed.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // The stored bytes of a value exactly as kept (a text with its terminator if it was stored with one);
    // nullopt when the value does not exist or cannot be read.
    virtual std::optional<std::vector<std::uint8_t>> query(const std::string& value_name) = 0;
    // Stores the bytes under the value name with the given type; returns the system result code, 0 for success.
    virtual long set(const std::string& value_name, std::uint32_t type, const std::vector<std::uint8_t>& data) = 0;
};

class Registry {
public:
    virtual ~Registry() = default;
    // Opens an existing key under HKEY_CURRENT_USER; nullptr when it does not exist or cannot be opened.
    virtual std::unique_ptr<RegistryKey> open_current_user(const std::string& key_path, KeyAccess access) = 0;
};

} // namespace om::platform
