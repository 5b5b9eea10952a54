#pragma once
// Text conversions of the WinHTTP request object: UTF-8 <-> UTF-16 and the response body decoded by
// the charset its Content-Type names.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace om::platform::win32 {

std::wstring widen(std::string_view utf8);
std::string narrow(std::wstring_view utf16);

// UTF-8 text of the body. "utf-8", "us-ascii" and a missing charset pass the bytes through unchanged
// (the updater's texts are byte strings; a page without a charset is taken as it came);
// "iso-8859-N" and "windows-125N" are converted to UTF-8 through their code pages. Any other charset
// passes through unchanged.
std::string decode_response_text(const std::vector<std::uint8_t>& body, std::string_view content_type);

} // namespace om::platform::win32
