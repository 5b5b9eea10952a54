#include "install/do_up.hpp"

namespace om {

// Not built yet: package installation.
void do_up(Context&) {}

} // namespace om
