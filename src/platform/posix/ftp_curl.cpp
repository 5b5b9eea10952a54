#include "platform/posix/ftp_curl.hpp"
