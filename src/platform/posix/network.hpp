#pragma once
// Connection state, host name and address (not built yet).
#include "platform/network.hpp"

namespace om::platform::posix {

class PosixNetwork : public Network {
public:
    bool connected() override { return false; }
    std::string local_host_name() override { return {}; }
    std::string local_ip() override { return {}; }
};

} // namespace om::platform::posix
