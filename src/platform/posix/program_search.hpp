#pragma once
// Finds the program of a command line the way Windows does: a name holding "\" or "/" is a path;
// otherwise the updater's own folder, the current folder, then each PATH folder. In each place the
// name is tried as given, then with ".exe" appended. "\" in a path is read as "/".
#include <optional>
#include <string>

namespace om::platform::posix {

// The executable file found, or nullopt.
std::optional<std::string> find_program(const std::string& name, const std::string& own_folder);

} // namespace om::platform::posix
