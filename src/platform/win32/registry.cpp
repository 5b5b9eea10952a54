#include "platform/win32/registry.hpp"
