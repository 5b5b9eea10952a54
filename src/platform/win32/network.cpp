#include "platform/win32/network.hpp"
