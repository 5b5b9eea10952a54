#pragma once
// FTP service over libcurl (not built yet).
#include "platform/ftp_service.hpp"

namespace om::platform::posix {

class CurlFtpService : public FtpService {
public:
};

} // namespace om::platform::posix
