#include "platform/posix/network.hpp"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <memory>
#include <net/if.h>
#include <netinet/in.h>
#include <unistd.h>

namespace om::platform::posix {

namespace {

struct IfAddrsFree {
    void operator()(ifaddrs* list) const { ::freeifaddrs(list); }
};
using InterfaceList = std::unique_ptr<ifaddrs, IfAddrsFree>;

InterfaceList interfaces()
{
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0)
        return nullptr;
    return InterfaceList(list);
}

bool usable(const ifaddrs& entry)
{
    return entry.ifa_addr != nullptr && (entry.ifa_flags & IFF_UP) && !(entry.ifa_flags & IFF_LOOPBACK) &&
           (entry.ifa_addr->sa_family == AF_INET || entry.ifa_addr->sa_family == AF_INET6);
}

} // namespace

bool PosixNetwork::connected()
{
    const InterfaceList list = interfaces();
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next)
        if (usable(*entry))
            return true;
    return false;
}

std::string PosixNetwork::local_host_name()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

std::string PosixNetwork::local_ip()
{
    const InterfaceList list = interfaces();
    for (const ifaddrs* entry = list.get(); entry != nullptr; entry = entry->ifa_next) {
        if (!usable(*entry) || entry->ifa_addr->sa_family != AF_INET)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr);
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr)
            return text;
    }
    return "127.0.0.1";
}

} // namespace om::platform::posix
