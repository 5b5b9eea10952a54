#pragma once
// Package files on Windows: the installer's ProductVersion through msi.dll, PE headers read directly.
#include "platform/package_inspector.hpp"

namespace om::platform::win32 {

class Win32PackageInspector : public PackageInspector {
public:
    std::optional<std::string> installer_product_version(const std::string& path) override;
    bool is_program_image(const std::string& path) override;
};

} // namespace om::platform::win32
