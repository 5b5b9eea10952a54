#include "platform/posix/program_search.hpp"

#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace om::platform::posix {

namespace {

bool is_executable_file(const std::string& path)
{
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

std::optional<std::string> try_with_exe(const std::string& path)
{
    if (is_executable_file(path))
        return path;
    if (is_executable_file(path + ".exe"))
        return path + ".exe";
    return std::nullopt;
}

std::string join(const std::string& folder, const std::string& name)
{
    if (folder.empty())
        return name;
    return folder.back() == '/' ? folder + name : folder + "/" + name;
}

} // namespace

std::optional<std::string> find_program(const std::string& name, const std::string& own_folder)
{
    if (name.empty())
        return std::nullopt;
    std::string path = name;
    for (char& c : path)
        if (c == '\\')
            c = '/';
    if (path.find('/') != std::string::npos)
        return try_with_exe(path);

    if (!own_folder.empty())
        if (auto found = try_with_exe(join(own_folder, path)))
            return found;
    if (auto found = try_with_exe("./" + path))
        return found;
    const char* search = std::getenv("PATH");
    std::string folders = search ? search : "";
    std::size_t start = 0;
    while (start <= folders.size()) {
        std::size_t end = folders.find(':', start);
        if (end == std::string::npos)
            end = folders.size();
        const std::string folder = folders.substr(start, end - start);
        if (!folder.empty())
            if (auto found = try_with_exe(join(folder, path)))
                return found;
        start = end + 1;
    }
    return std::nullopt;
}

} // namespace om::platform::posix
