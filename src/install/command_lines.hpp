#pragma once
// Command lines of the package runs and the program start.
#include <string>
#include <string_view>

namespace om {

// A program path in double quotes, so that an installation folder with blanks in it still names one
// program on the command line.
inline std::string quoted_program(std::string_view path)
{
    return "\"" + std::string(path) + "\"";
}

// A self-extracting package started to unpack itself into the current folder without questions.
inline std::string unpack_command(std::string_view package_path)
{
    return quoted_program(package_path) + " -y -o";
}

} // namespace om
