#pragma once
// What a request object keeps of its last response, the same on every platform.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace om::platform {

using HttpHeader = std::pair<std::string, std::string>;

// "Name: value" of a raw header line, both trimmed; nullopt for a blank line or one without ":".
inline std::optional<HttpHeader> parse_header_line(std::string_view line)
{
    auto trim = [](std::string_view text) {
        auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
        while (!text.empty() && blank(text.front()))
            text.remove_prefix(1);
        while (!text.empty() && blank(text.back()))
            text.remove_suffix(1);
        return text;
    };
    const auto colon = line.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    return HttpHeader{std::string(trim(line.substr(0, colon))), std::string(trim(line.substr(colon + 1)))};
}

// The charset named by a Content-Type value, lower-cased and unquoted; "" when none is named.
inline std::string content_type_charset(std::string_view content_type)
{
    std::string lowered(content_type);
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    const auto at = lowered.find("charset=");
    if (at == std::string::npos)
        return {};
    std::string value = lowered.substr(at + 8);
    value = value.substr(0, value.find(';'));
    std::string trimmed;
    for (char c : value)
        if (c != '"' && c != '\'' && c != ' ' && c != '\t')
            trimmed.push_back(c);
    return trimmed;
}

struct HttpResponse {
    long status = 0;
    std::string content_type;
    std::vector<HttpHeader> headers;
    std::vector<std::uint8_t> body;

    void clear()
    {
        status = 0;
        content_type.clear();
        headers.clear();
        body.clear();
    }

    // The first header of that name, letter case ignored as HTTP names are.
    std::optional<std::string> header(std::string_view name) const
    {
        auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
        for (const auto& [header_name, value] : headers)
            if (std::equal(header_name.begin(), header_name.end(), name.begin(), name.end(),
                           [&](char x, char y) { return lower(x) == lower(y); }))
                return value;
        return std::nullopt;
    }

    // Headers are complete: note the content type.
    void headers_done() { content_type = header("Content-Type").value_or(""); }
};

} // namespace om::platform
