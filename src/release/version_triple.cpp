#include "release/version_triple.hpp"

#include "common/regimes.hpp"
#include "common/text.hpp"

#include <cmath>
#include <vector>

namespace om {

namespace {

// The pieces of a text between its dots; a text with n dots gives n + 1 pieces.
std::vector<std::string_view> split_at_dots(std::string_view text)
{
    std::vector<std::string_view> pieces;
    std::size_t from = 0;
    for (auto at = text.find('.'); at != std::string_view::npos; at = text.find('.', from)) {
        pieces.push_back(text.substr(from, at - from));
        from = at + 1;
    }
    pieces.push_back(text.substr(from));
    return pieces;
}

// Everything after the first `dots_before` dots, later dots included (the last number takes the rest of the text).
std::string_view rest_from_piece(std::string_view text, std::size_t dots_before)
{
    std::size_t at = 0;
    for (std::size_t n = 0; n < dots_before; ++n)
        at = text.find('.', at) + 1;
    return text.substr(at);
}

} // namespace

VersionTriple cut_marked_version(std::string_view version_text)
{
    const auto pieces = split_at_dots(version_text);
    if (pieces.size() < 4)
        throw StepFailed("version text with fewer than three dots");
    return {text::leading_number(pieces[1]), text::leading_number(pieces[2]),
            text::leading_number(rest_from_piece(version_text, 3))};
}

VersionTriple cut_installed_version(std::string_view version_text)
{
    const auto pieces = split_at_dots(version_text);
    if (pieces.size() < 3)
        throw StepFailed("installed version with fewer than two dots");
    return {text::leading_number(pieces[0]), text::leading_number(pieces[1]),
            text::leading_number(rest_from_piece(version_text, 2))};
}

bool is_newer_version(const VersionTriple& web, const VersionTriple& local)
{
    if (local.a != web.a)
        return local.a < web.a;
    if (local.b != web.b)
        return local.b < web.b;
    return local.c < web.c;
}

std::array<std::int16_t, 3> store_version_parts(const VersionTriple& triple)
{
    auto store = [](double value) {
        // Round to nearest, halves to the even neighbour, independent of the current rounding mode.
        const double below = std::floor(value);
        const double fraction = value - below;
        double rounded = fraction < 0.5 ? below : below + 1;
        if (fraction == 0.5)
            rounded = std::fmod(below, 2.0) == 0 ? below : below + 1;
        if (!(rounded >= -32768.0 && rounded <= 32767.0))
            throw StepFailed("version number outside the 16-bit range");
        return static_cast<std::int16_t>(rounded);
    };
    return {store(triple.a), store(triple.b), store(triple.c)};
}

std::string ombrix_version_text(const std::array<std::int16_t, 3>& parts)
{
    return "Ombrix v." + std::to_string(parts[0]) + "." + std::to_string(parts[1]) + "." + std::to_string(parts[2]);
}

} // namespace om
