#include "platform/win32/http_winhttp_text.hpp"

#include "platform/http_response.hpp"

#include <windows.h>

namespace om::platform::win32 {

namespace {

// The Windows code page of a charset name; 0 when the text passes through as it is.
UINT code_page_of(const std::string& charset)
{
    auto number_after = [&](std::string_view prefix) -> int {
        if (charset.rfind(prefix, 0) != 0 || charset.size() == prefix.size())
            return -1;
        int value = 0;
        for (char c : charset.substr(prefix.size())) {
            if (c < '0' || c > '9')
                return -1;
            value = value * 10 + (c - '0');
        }
        return value;
    };
    if (charset == "latin1")
        return 28591;
    if (const int n = number_after("iso-8859-"); n >= 1 && n <= 15)
        return static_cast<UINT>(28590 + n);
    if (const int n = number_after("windows-"); n >= 1250 && n <= 1258)
        return static_cast<UINT>(n);
    if (const int n = number_after("cp"); n >= 1250 && n <= 1258)
        return static_cast<UINT>(n);
    return 0;
}

std::wstring to_wide(std::string_view bytes, UINT code_page)
{
    if (bytes.empty())
        return {};
    const int length = MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    if (length <= 0)
        return {};
    std::wstring out(static_cast<std::size_t>(length), L'\0');
    MultiByteToWideChar(code_page, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), length);
    return out;
}

} // namespace

std::wstring widen(std::string_view utf8)
{
    return to_wide(utf8, CP_UTF8);
}

std::string narrow(std::wstring_view utf16)
{
    if (utf16.empty())
        return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), nullptr, 0, nullptr, nullptr);
    if (length <= 0)
        return {};
    std::string out(static_cast<std::size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, utf16.data(), static_cast<int>(utf16.size()), out.data(), length, nullptr, nullptr);
    return out;
}

std::string decode_response_text(const std::vector<std::uint8_t>& body, std::string_view content_type)
{
    std::string bytes(body.begin(), body.end());
    const UINT code_page = code_page_of(content_type_charset(content_type));
    if (code_page == 0 || bytes.empty())
        return bytes;
    const std::wstring wide = to_wide(bytes, code_page);
    return wide.empty() ? bytes : narrow(wide);
}

} // namespace om::platform::win32
