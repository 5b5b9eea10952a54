#include "platform/http_exchange.hpp"

namespace om::platform {

namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool equal_names(std::string_view a, std::string_view b)
{
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return lower(x) == lower(y); });
}

bool matches(std::string_view host, std::string_view entry)
{
    if (entry == "*")
        return true;
    if (equal_names(entry, "<local>"))
        return host.find('.') == std::string_view::npos;
    if (entry.starts_with("*."))
        entry.remove_prefix(1);
    if (entry.starts_with("."))
        entry.remove_prefix(1);
    if (entry.empty())
        return false;
    if (equal_names(host, entry))
        return true;
    return host.size() > entry.size() && host[host.size() - entry.size() - 1] == '.' &&
           equal_names(host.substr(host.size() - entry.size()), entry);
}

} // namespace

bool bypasses_proxy(std::string_view host, std::string_view bypass_list)
{
    while (!bypass_list.empty()) {
        const auto end = bypass_list.find_first_of(",; \t");
        if (matches(host, bypass_list.substr(0, end)))
            return true;
        if (end == std::string_view::npos)
            break;
        bypass_list.remove_prefix(end + 1);
    }
    return false;
}

std::string host_of_address(std::string_view url)
{
    const auto scheme = url.find("://");
    if (scheme == std::string_view::npos)
        return {};
    url.remove_prefix(scheme + 3);
    url = url.substr(0, url.find_first_of("/?#"));
    if (const auto at = url.rfind('@'); at != std::string_view::npos)
        url.remove_prefix(at + 1);
    if (url.starts_with("[")) {
        const auto close = url.find(']');
        return close == std::string_view::npos ? std::string() : std::string(url.substr(1, close - 1));
    }
    return std::string(url.substr(0, url.find(':')));
}

} // namespace om::platform
