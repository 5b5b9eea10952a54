#include "platform/win32/clock.hpp"
