#include "platform/posix/version_reader.hpp"
