#include "download/signature_format.hpp"

#include "common/text.hpp"

namespace om {

namespace {

constexpr std::string_view alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr std::size_t encoded_64_length = 88; // 21 full groups, then one byte and "=="

int sextet(char c)
{
    const auto at = alphabet.find(c);
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

} // namespace

std::optional<std::array<std::uint8_t, 64>> decode_base64_64(std::string_view text)
{
    if (text.size() != encoded_64_length || text.substr(86) != "==")
        return std::nullopt;
    std::array<std::uint8_t, 64> out{};
    std::size_t written = 0;
    std::uint32_t bits = 0;
    int held = 0;
    for (const char c : text.substr(0, 86)) {
        const int value = sextet(c);
        if (value < 0)
            return std::nullopt;
        bits = (bits << 6) | static_cast<std::uint32_t>(value);
        held += 6;
        if (held >= 8) {
            held -= 8;
            out[written++] = static_cast<std::uint8_t>(bits >> held);
        }
    }
    // 86 characters carry 516 bits: 64 bytes and 4 bits that a canonical encoder leaves zero.
    if (written != out.size() || (bits & ((1u << held) - 1)) != 0)
        return std::nullopt;
    return out;
}

std::optional<platform::PublicKey> read_public_key(std::string_view text)
{
    return decode_base64_64(text);
}

std::optional<platform::Signature> read_signature_file(std::string_view text)
{
    if (!text.starts_with(signature_tag))
        return std::nullopt;
    text.remove_prefix(signature_tag.size());
    if (text.ends_with("\r\n"))
        text.remove_suffix(2);
    else if (text.ends_with("\n"))
        text.remove_suffix(1);
    return decode_base64_64(text);
}

std::vector<std::uint8_t> signed_prefix(std::string_view file_name)
{
    const std::string text = "om-release-1\n" + text::to_lower(file_name) + "\n";
    return {text.begin(), text.end()};
}

} // namespace om
