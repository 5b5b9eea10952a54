#pragma once
// Text helpers with the system's conventions: positions count from 1, 0 is "not found"; searches are
// case-sensitive and find the first occurrence; replacements replace every occurrence.
#include <cstddef>
#include <string>
#include <string_view>

namespace om::text {

// Position (from 1) of the first `what` in `text` at or after position `start`; 0 when absent.
std::size_t find_pos(std::string_view text, std::string_view what, std::size_t start = 1);
// Position (from 1) of the last `what` in `text`; 0 when absent.
std::size_t find_last_pos(std::string_view text, std::string_view what);
// Up to `count` characters from position `start` (from 1); "" past the end. Throws StepFailed for start 0.
std::string mid(std::string_view text, std::size_t start, std::size_t count = std::string_view::npos);
std::string replace_all(std::string_view text, std::string_view what, std::string_view with);
// Letter case ignored (ASCII).
std::string replace_all_nocase(std::string_view text, std::string_view what, std::string_view with);
std::string remove_all(std::string_view text, std::string_view what);
std::string to_lower(std::string_view text);
bool contains(std::string_view text, std::string_view what);
// The leading decimal number of a text: white space skipped, reading stops at the first character that
// cannot continue the number, 0 when there is none.
double leading_number(std::string_view text);
// Two-digit zero-padded decimal.
std::string two_digits(int value);

} // namespace om::text
