#pragma once
// FTP service shaped after WinINet's FTP calls. Owned by the FTP client work; see report/.
namespace om::platform {

class FtpService {
public:
    virtual ~FtpService() = default;
};

} // namespace om::platform
