#include "platform/win32/file_system.hpp"
