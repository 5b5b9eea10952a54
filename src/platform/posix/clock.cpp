#include "platform/posix/clock.hpp"
