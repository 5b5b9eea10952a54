#include "platform/win32/http_winhttp.hpp"
