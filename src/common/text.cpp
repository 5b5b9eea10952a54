#include "common/text.hpp"

#include "common/regimes.hpp"

#include <cctype>
#include <cmath>
#include <cstdio>

namespace om::text {

std::size_t find_pos(std::string_view text, std::string_view what, std::size_t start)
{
    if (start == 0)
        start = 1;
    if (start > text.size() + 1)
        return 0;
    auto at = text.find(what, start - 1);
    return at == std::string_view::npos ? 0 : at + 1;
}

std::size_t find_last_pos(std::string_view text, std::string_view what)
{
    auto at = text.rfind(what);
    return at == std::string_view::npos ? 0 : at + 1;
}

std::string mid(std::string_view text, std::size_t start, std::size_t count)
{
    if (start == 0)
        throw StepFailed("position 0");
    if (start > text.size())
        return {};
    return std::string(text.substr(start - 1, count));
}

std::string replace_all(std::string_view text, std::string_view what, std::string_view with)
{
    if (what.empty())
        return std::string(text);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(what); at != std::string_view::npos; at = text.find(what, from)) {
        out.append(text.substr(from, at - from));
        out.append(with);
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

std::string to_lower(std::string_view text)
{
    std::string out(text);
    for (auto& c : out)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return out;
}

std::string replace_all_nocase(std::string_view text, std::string_view what, std::string_view with)
{
    if (what.empty())
        return std::string(text);
    const std::string lower_text = to_lower(text);
    const std::string lower_what = to_lower(what);
    std::string out;
    out.reserve(text.size());
    std::size_t from = 0;
    for (auto at = lower_text.find(lower_what); at != std::string::npos; at = lower_text.find(lower_what, from)) {
        out.append(text.substr(from, at - from));
        out.append(with);
        from = at + what.size();
    }
    out.append(text.substr(from));
    return out;
}

std::string remove_all(std::string_view text, std::string_view what)
{
    return replace_all(text, what, "");
}

bool contains(std::string_view text, std::string_view what)
{
    return text.find(what) != std::string_view::npos;
}

double leading_number(std::string_view text)
{
    auto is_blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; };
    std::size_t i = 0;
    auto skip_blanks = [&] {
        while (i < text.size() && is_blank(text[i]))
            ++i;
    };
    skip_blanks();
    double sign = 1;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        sign = text[i] == '-' ? -1 : 1;
        ++i;
    }
    double value = 0;
    bool seen_point = false;
    double scale = 1;
    for (; i < text.size(); ++i) {
        char c = text[i];
        if (is_blank(c))
            continue;
        if (std::isdigit(static_cast<unsigned char>(c))) {
            if (seen_point) {
                scale /= 10;
                value += (c - '0') * scale;
            } else {
                value = value * 10 + (c - '0');
            }
        } else if (c == '.' && !seen_point) {
            seen_point = true;
        } else {
            break;
        }
    }
    return sign * value;
}

std::string two_digits(int value)
{
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d", value);
    return buffer;
}

} // namespace om::text
