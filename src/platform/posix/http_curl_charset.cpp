#include "platform/posix/http_curl_charset.hpp"

#include "platform/http_response.hpp"
#include "platform/posix/http_curl_handles.hpp"

#include <cerrno>

namespace om::platform::posix {

namespace {

bool passes_through(const std::string& charset)
{
    return charset.empty() || charset == "utf-8" || charset == "utf8" || charset == "us-ascii" || charset == "ascii";
}

} // namespace

std::string decode_response_text(const std::vector<std::uint8_t>& body, std::string_view content_type)
{
    std::string bytes(body.begin(), body.end());
    const std::string charset = content_type_charset(content_type);
    if (passes_through(charset))
        return bytes;
    Iconv converter("UTF-8", charset.c_str());
    if (!converter.valid())
        return bytes;
    std::string out(bytes.size() * 3 + 16, '\0'); // one byte of a single-byte charset is at most 3 in UTF-8
    char* in_at = bytes.data();
    std::size_t in_left = bytes.size();
    char* out_at = out.data();
    std::size_t out_left = out.size();
    while (in_left > 0) {
        if (iconv(converter.get(), &in_at, &in_left, &out_at, &out_left) != static_cast<std::size_t>(-1))
            continue;
        if (errno == E2BIG) {
            const std::size_t used = out.size() - out_left;
            out.resize(out.size() * 2);
            out_at = out.data() + used;
            out_left = out.size() - used;
            continue;
        }
        return bytes; // not text in that charset
    }
    out.resize(out.size() - out_left);
    return out;
}

} // namespace om::platform::posix
