#pragma once
// HKEY_CURRENT_USER kept in one registry export file (not built yet).
#include "platform/registry.hpp"

#include <string>

namespace om::platform::posix {

class RegistryFile : public Registry {
public:
    explicit RegistryFile(std::string path) : path_(std::move(path)) {}
    // OMBRIX_HKCU_FILE, else $XDG_CONFIG_HOME/ombrix/HKEY_CURRENT_USER.reg (~/.config without it).
    static std::string default_path();
    std::unique_ptr<RegistryKey> open_current_user(const std::string&, KeyAccess) override { return nullptr; }

private:
    std::string path_;
};

} // namespace om::platform::posix
