#include "release/get_new_version.hpp"

namespace om {

// Not built yet: the release check.
std::string get_new_version(Context&) { return {}; }

} // namespace om
