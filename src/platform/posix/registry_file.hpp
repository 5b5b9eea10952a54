#pragma once
// HKEY_CURRENT_USER kept in one registry export file (REGEDIT4 as written; version 5.00 and UTF-16LE
// files exported on Windows are read too). The file is read again before every operation, since
// another process may have written it, and every write replaces it whole and atomically.
#include "platform/registry.hpp"

#include <string>

namespace om::platform::posix {

// Result codes the registry file gives, those of the system calls they stand for.
inline constexpr long reg_error_write_fault = 29;   // ERROR_WRITE_FAULT: the file could not be replaced
inline constexpr long reg_error_corrupt = 1009;     // ERROR_BADDB: the file cannot be parsed
inline constexpr long reg_error_key_deleted = 1018; // ERROR_KEY_DELETED: the key vanished after opening
inline constexpr long reg_error_access_denied = 5;  // ERROR_ACCESS_DENIED: key opened for query only

class RegistryFile : public Registry {
public:
    explicit RegistryFile(std::string path) : path_(std::move(path)) {}
    // OMBRIX_HKCU_FILE, else $XDG_CONFIG_HOME/ombrix/HKEY_CURRENT_USER.reg (~/.config without it).
    static std::string default_path();
    // key_path is relative to HKEY_CURRENT_USER, letter case ignored. When the file cannot be parsed
    // the key opens but reads nothing and every write fails, so the file is never overwritten.
    std::unique_ptr<RegistryKey> open_current_user(const std::string& key_path, KeyAccess access) override;

    const std::string& path() const { return path_; }

private:
    std::string path_;
};

} // namespace om::platform::posix
