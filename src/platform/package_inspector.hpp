#pragma once
// What the installation needs to know about a package file before it runs it.
#include <optional>
#include <string>

namespace om::platform {

class PackageInspector {
public:
    virtual ~PackageInspector() = default;
    // ProductVersion ("2.1.6.0") from the Property table of the Windows Installer package at `path`;
    // nothing when the file is missing, unreadable or not such a package.
    virtual std::optional<std::string> installer_product_version(const std::string& path) = 0;
    // The file is a program image this platform starts: a PE image ("MZ", then "PE" where the DOS
    // header points) on Windows; on posix an ELF image or a "#!" script.
    virtual bool is_program_image(const std::string& path) = 0;
};

} // namespace om::platform
