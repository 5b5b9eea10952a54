#include "platform/win32/network.hpp"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <windows.h>
#include <wininet.h>

#include <memory>

namespace om::platform::win32 {

namespace {

// Winsock started for the length of one query.
class WinsockSession {
public:
    WinsockSession()
    {
        WSADATA data{};
        started_ = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~WinsockSession()
    {
        if (started_)
            ::WSACleanup();
    }
    WinsockSession(const WinsockSession&) = delete;
    WinsockSession& operator=(const WinsockSession&) = delete;
    explicit operator bool() const { return started_; }

private:
    bool started_ = false;
};

struct AddrInfoFree {
    void operator()(addrinfo* list) const { ::freeaddrinfo(list); }
};

std::string host_name()
{
    char name[256] = {};
    if (::gethostname(name, sizeof name - 1) != 0)
        return {};
    return name;
}

} // namespace

bool Win32Network::connected()
{
    DWORD flags = 0;
    return ::InternetGetConnectedState(&flags, 0) != FALSE;
}

std::string Win32Network::local_host_name()
{
    WinsockSession winsock;
    return winsock ? host_name() : std::string{};
}

std::string Win32Network::local_ip()
{
    WinsockSession winsock;
    if (!winsock)
        return "127.0.0.1";
    const std::string name = host_name();
    addrinfo hints{};
    hints.ai_family = AF_INET;
    addrinfo* found = nullptr;
    if (name.empty() || ::getaddrinfo(name.c_str(), nullptr, &hints, &found) != 0)
        return "127.0.0.1";
    std::unique_ptr<addrinfo, AddrInfoFree> list(found);
    for (const addrinfo* entry = list.get(); entry != nullptr; entry = entry->ai_next) {
        const auto* address = reinterpret_cast<const sockaddr_in*>(entry->ai_addr);
        if ((ntohl(address->sin_addr.s_addr) >> 24) == 127)
            continue;
        char text[INET_ADDRSTRLEN] = {};
        if (::inet_ntop(AF_INET, &address->sin_addr, text, sizeof text) != nullptr)
            return text;
    }
    return "127.0.0.1";
}

} // namespace om::platform::win32
