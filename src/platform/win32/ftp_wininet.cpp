#include "platform/win32/ftp_wininet.hpp"
