#pragma once
// FTP service over WinINet (not built yet).
#include "platform/ftp_service.hpp"

namespace om::platform::win32 {

class WinInetFtpService : public FtpService {
public:
};

} // namespace om::platform::win32
