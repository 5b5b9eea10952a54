#pragma once
// Connection state (InternetGetConnectedState), host name and local IPv4 address (Winsock).
#include "platform/network.hpp"

namespace om::platform::win32 {

class Win32Network : public Network {
public:
    bool connected() override;
    std::string local_host_name() override;
    // The first non-loopback IPv4 address of the host name; "127.0.0.1" when there is none.
    std::string local_ip() override;
};

} // namespace om::platform::win32
