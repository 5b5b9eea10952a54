#pragma once
// Network information: connection state, local host name and address.
#include <string>

namespace om::platform {

class Network {
public:
    virtual ~Network() = default;
    // False when the machine has no connection (InternetGetConnectedState gives 0).
    virtual bool connected() = 0;
    virtual std::string local_host_name() = 0;
    // Dotted IPv4 text of the local address.
    virtual std::string local_ip() = 0;
};

} // namespace om::platform
