#pragma once
// Connection state, host name and local IPv4 address from the network interfaces.
#include "platform/network.hpp"

namespace om::platform::posix {

class PosixNetwork : public Network {
public:
    // Connected when an interface other than loopback is up and has an address.
    bool connected() override;
    std::string local_host_name() override;
    // The first non-loopback IPv4 address; "127.0.0.1" when there is none.
    std::string local_ip() override;
};

} // namespace om::platform::posix
