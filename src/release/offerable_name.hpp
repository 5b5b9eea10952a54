#pragma once
// Package names cut from a listing become file names in the installation folder and parts of command
// lines; only plain file names are offered.
#include <string_view>

namespace om {

// False for an empty name and for a name holding "/", "\", "..", ":", a double quote or a control
// character.
bool is_offerable_file_name(std::string_view name);

} // namespace om
