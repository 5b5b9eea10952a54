#include "platform/posix/network.hpp"
