#pragma once
// The registry through advapi32, ANSI forms: one HKEY_CURRENT_USER key opened per read or write.
#include "platform/registry.hpp"

namespace om::platform::win32 {

class Win32Registry : public Registry {
public:
    std::unique_ptr<RegistryKey> open_current_user(const std::string& key_path, KeyAccess access) override;
};

} // namespace om::platform::win32
