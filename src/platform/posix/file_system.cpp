#include "platform/posix/file_system.hpp"
