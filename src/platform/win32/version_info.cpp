#include "platform/win32/version_info.hpp"
