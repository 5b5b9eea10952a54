#pragma once
// Windows command-line splitting (the rules of CommandLineToArgvW), so that command lines written for
// Windows ("taskkill /f /im \"x.exe\"", "\"C:\\dir\\prog.exe\" -y -o") start the same way here.
#include <string>
#include <vector>

namespace om::platform::posix {

// The program name is taken up to the next quote when it starts with one, else up to the first blank
// or tab, with no escapes. Each further argument follows the escape rules: 2n backslashes before a
// quote give n backslashes and the quote opens or closes quoting; 2n+1 backslashes give n backslashes
// and a literal quote; backslashes elsewhere are literal; "" inside quotes is a literal quote.
std::vector<std::string> split_windows_command_line(const std::string& command_line);

} // namespace om::platform::posix
