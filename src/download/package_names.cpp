#include "download/package_names.hpp"

#include "common/regimes.hpp"
#include "common/text.hpp"

namespace om {

void require_bare_file_name(std::string_view name)
{
    // The names come from the release site (page, listings); they are joined to install_dir and to
    // "om_msi\", and the packages are started by them, so nothing may lead out of those folders.
    if (name.empty() || name == "." || name == "..")
        throw StepFailed("no package file name");
    if (name.find_first_of("/\\:\"") != std::string_view::npos)
        throw StepFailed("package name is not a bare file name: " + std::string(name));
    for (char c : name)
        if (static_cast<unsigned char>(c) < 0x20)
            throw StepFailed("package name holds a control character");
}

std::string package_file_name(std::string_view address, std::string_view marker)
{
    const std::size_t at = text::find_pos(address, marker);
    if (at == 0)
        throw StepFailed("address without " + std::string(marker) + ": " + std::string(address));
    std::string name = text::mid(address, at);
    require_bare_file_name(name);
    return name;
}

} // namespace om
