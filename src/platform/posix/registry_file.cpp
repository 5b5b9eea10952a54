#include "platform/posix/registry_file.hpp"

#include <cstdlib>

namespace om::platform::posix {

std::string RegistryFile::default_path()
{
    if (const char* file = std::getenv("OMBRIX_HKCU_FILE"))
        return file;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = xdg && *xdg ? xdg : std::string(home ? home : "") + "/.config";
    return base + "/ombrix/HKEY_CURRENT_USER.reg";
}

} // namespace om::platform::posix
