#pragma once
// The registry through advapi32 (not built yet).
#include "platform/registry.hpp"

namespace om::platform::win32 {

class Win32Registry : public Registry {
public:
    std::unique_ptr<RegistryKey> open_current_user(const std::string&, KeyAccess) override { return nullptr; }
};

} // namespace om::platform::win32
