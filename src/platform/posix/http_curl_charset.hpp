#pragma once
// The response body as text, decoded by the charset its Content-Type names.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace om::platform::posix {

// UTF-8 text of the body. "utf-8", "us-ascii" and a missing charset pass the bytes through unchanged
// (the updater's texts are byte strings; a page without a charset is taken as it came); any other
// charset iconv knows (iso-8859-1, windows-1252, ...) is converted to UTF-8. A charset iconv does not
// know, or a body it cannot convert, also passes through unchanged.
std::string decode_response_text(const std::vector<std::uint8_t>& body, std::string_view content_type);

} // namespace om::platform::posix
