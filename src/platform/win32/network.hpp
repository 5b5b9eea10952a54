#pragma once
// Connection state, host name and address (not built yet).
#include "platform/network.hpp"

namespace om::platform::win32 {

class Win32Network : public Network {
public:
    bool connected() override { return false; }
    std::string local_host_name() override { return {}; }
    std::string local_ip() override { return {}; }
};

} // namespace om::platform::win32
