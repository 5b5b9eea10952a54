#include "release/offerable_name.hpp"

namespace om {

bool is_offerable_file_name(std::string_view name)
{
    if (name.empty() || name.find("..") != std::string_view::npos)
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\' || c == ':' || c == '"' || byte < 0x20 || byte == 0x7f)
            return false;
    }
    return true;
}

} // namespace om
