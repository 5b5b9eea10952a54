#include "release/html_to_text.hpp"

#include <cstring>

namespace om {

// Written by hand as two linear passes instead of a regular-expression engine: std::regex recurses once
// per character and overflows the stack on pages of a few megabytes, and a pass over the bytes keeps
// the cost per byte the same for any page size.

namespace {

char lower(char c)
{
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

// `lowered` is given in lower case.
bool starts_with_nocase(std::string_view text, std::size_t at, std::string_view lowered)
{
    if (text.size() - at < lowered.size())
        return false;
    for (std::size_t i = 0; i < lowered.size(); ++i)
        if (lower(text[at + i]) != lowered[i])
            return false;
    return true;
}

// White space of the "\s" class: blank, tab, line feed, carriage return, form feed, vertical tab.
bool is_space(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f' || c == '\v';
}

// A ">" that belongs to a "<br>" does not close a tag, because that "<br>" has already become a line
// feed when the tags are removed. `open` is the position of the tag's "<".
bool closes_tag(std::string_view text, std::size_t at, std::size_t open)
{
    return !(at >= open + 4 && starts_with_nocase(text, at - 3, "<br"));
}

// Position of the ">" that closes the tag opened at `open`, or npos.
std::size_t find_tag_end(std::string_view text, std::size_t open)
{
    for (std::size_t at = open + 1; at < text.size();) {
        const void* hit = std::memchr(text.data() + at, '>', text.size() - at);
        if (!hit)
            return std::string_view::npos;
        at = static_cast<std::size_t>(static_cast<const char*>(hit) - text.data());
        if (closes_tag(text, at, open))
            return at;
        ++at;
    }
    return std::string_view::npos;
}

// "<br>" -> line feed, "&nbsp;" -> blank, tags removed, white-space runs -> one blank.
std::string strip_tags_and_collapse(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    bool in_space = false;
    bool tags_possible = true; // false once a "<" was found with no closing ">" after it
    auto put_space = [&] {
        if (!in_space)
            out.push_back(' ');
        in_space = true;
    };
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '<') {
            if (starts_with_nocase(text, i, "<br>")) {
                put_space();
                i += 4;
                continue;
            }
            if (tags_possible) {
                const std::size_t end = find_tag_end(text, i);
                if (end != std::string_view::npos) {
                    i = end + 1;
                    continue;
                }
                tags_possible = false;
            }
        } else if (c == '&' && starts_with_nocase(text, i, "&nbsp;")) {
            put_space();
            i += 6;
            continue;
        } else if (is_space(c)) {
            put_space();
            ++i;
            continue;
        }
        out.push_back(c);
        in_space = false;
        ++i;
    }
    return out;
}

// "&gt;", "&lt;", "&amp;" decoded. One pass gives the same text as three passes in that order: none of
// the three can overlap another, and no decoded character can form a new one.
std::string decode_entities(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const void* hit = std::memchr(text.data() + i, '&', text.size() - i);
        const std::size_t at =
            hit ? static_cast<std::size_t>(static_cast<const char*>(hit) - text.data()) : text.size();
        out.append(text.substr(i, at - i));
        if (at == text.size())
            break;
        if (starts_with_nocase(text, at, "&gt;")) {
            out.push_back('>');
            i = at + 4;
        } else if (starts_with_nocase(text, at, "&lt;")) {
            out.push_back('<');
            i = at + 4;
        } else if (starts_with_nocase(text, at, "&amp;")) {
            out.push_back('&');
            i = at + 5;
        } else {
            out.push_back('&');
            i = at + 1;
        }
    }
    return out;
}

} // namespace

std::string html_to_text(std::string_view markup)
{
    return decode_entities(strip_tags_and_collapse(markup));
}

} // namespace om
