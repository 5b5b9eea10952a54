#pragma once
// The application registry record: reading the record and writing the updater's history values.
#include "platform/registry.hpp"
#include "state/app_record.hpp"

#include <cstdint>
#include <string>

namespace om {

struct Context;

inline constexpr const char* app_key_path = "Software\\Kelvane\\Ombrix32";

// Root keys the updater passes; only HKEY_CURRENT_USER is used.
enum class RootKey { current_user };

AppRecord read_app_record(platform::Registry& registry);
// The value's text; "" when the key or value is missing. The stored terminator is dropped; a text
// stored without one keeps all its characters.
std::string read_reg_text(platform::Registry& registry, RootKey root, const std::string& key_path,
                          const std::string& value_name);
std::string read_last_failure_run(platform::Registry& registry);
void write_last_failure_run(platform::Registry& registry, const std::string& text);
void write_last_success_run(platform::Registry& registry, const std::string& text);
void write_file_versions(platform::Registry& registry, const std::string& text);

// A registry value for set_reg_value: text (type 1) or a 32-bit number (type 4).
struct RegValue {
    std::string text;
    double number = 0;
};
long set_reg_value(platform::RegistryKey& key, const std::string& value_name, std::uint32_t type,
                   const RegValue& value);

// Sets install_dir from app_record and last_failure_run from the registry.
void get_reg(Context& context);

} // namespace om
