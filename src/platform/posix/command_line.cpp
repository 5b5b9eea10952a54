#include "platform/posix/command_line.hpp"

namespace om::platform::posix {

namespace {

bool is_blank(char c)
{
    return c == ' ' || c == '\t';
}

} // namespace

std::vector<std::string> split_windows_command_line(const std::string& line)
{
    std::vector<std::string> args;
    std::size_t i = 0;
    const std::size_t n = line.size();
    while (i < n && is_blank(line[i]))
        ++i;
    if (i == n)
        return args;

    // The program name: no escapes.
    std::string program;
    if (line[i] == '"') {
        ++i;
        while (i < n && line[i] != '"')
            program += line[i++];
        if (i < n)
            ++i;
    }
    while (i < n && !is_blank(line[i]))
        program += line[i++];
    args.push_back(program);

    while (true) {
        while (i < n && is_blank(line[i]))
            ++i;
        if (i >= n)
            break;
        std::string arg;
        bool quoted = false;
        while (i < n && (quoted || !is_blank(line[i]))) {
            if (line[i] == '\\') {
                std::size_t slashes = 0;
                while (i < n && line[i] == '\\') {
                    ++slashes;
                    ++i;
                }
                if (i < n && line[i] == '"') {
                    arg.append(slashes / 2, '\\');
                    if (slashes % 2 == 1) {
                        arg += '"';
                        ++i;
                    }
                    // An even count leaves the quote to the quoting rule below.
                } else {
                    arg.append(slashes, '\\');
                }
                continue;
            }
            if (line[i] == '"') {
                if (quoted && i + 1 < n && line[i + 1] == '"') {
                    arg += '"';
                    i += 2;
                    continue;
                }
                quoted = !quoted;
                ++i;
                continue;
            }
            arg += line[i++];
        }
        args.push_back(arg);
    }
    return args;
}

} // namespace om::platform::posix
