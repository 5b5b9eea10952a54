#include "platform/posix/http_curl.hpp"
