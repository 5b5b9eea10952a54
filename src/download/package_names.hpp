#pragma once
// Local file names of the packages on offer, cut from their addresses.
#include <string>
#include <string_view>

namespace om {

inline constexpr std::string_view quick_update_marker = "om_exe";
inline constexpr std::string_view installer_marker = "ombrix32_v";

// The package's local file name: `address` from the first `marker` to its end. Throws StepFailed when
// the address has no marker, or when the name is not a bare file name (a folder separator, a drive
// colon or a quote in it would write outside the download folders or break the command line).
std::string package_file_name(std::string_view address, std::string_view marker);

// Throws StepFailed unless `name` is a bare file name fit to be joined to a folder.
void require_bare_file_name(std::string_view name);

} // namespace om
