#pragma once
// Package files on posix: the installer's ProductVersion through libmsi (msitools' library), the
// executable's first bytes read directly.
#include "platform/package_inspector.hpp"

namespace om::platform::posix {

class PosixPackageInspector : public PackageInspector {
public:
    std::optional<std::string> installer_product_version(const std::string& path) override;
    bool is_program_image(const std::string& path) override;
};

} // namespace om::platform::posix
