#pragma once
// Version triples: three numbers cut from a dotted version text, compared by the newer-version rule and
// stored as 16-bit signed integers.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace om {

// The numbers as read (each the leading decimal number of its piece), kept unrounded for comparing.
struct VersionTriple {
    double a = 0, b = 0, c = 0;
};

// A version text whose first dot is a leading one ("v.2.1.5", ".2.1.5"): A lies between the first and
// second dots, B between the second and third, C is everything after the third. Throws StepFailed with
// fewer than three dots.
VersionTriple cut_marked_version(std::string_view version_text);

// An installed version ("2.1.5", "2.1.5.0"): A before the first dot, B between the first and second,
// C everything after the second. Throws StepFailed with fewer than two dots.
VersionTriple cut_installed_version(std::string_view version_text);

// True when `web` is newer than `local`: first, then second, then third number; equal is not newer.
bool is_newer_version(const VersionTriple& web, const VersionTriple& local);

// Rounded to the nearest integer (halves to the even neighbour). Throws StepFailed when a number lies
// outside the 16-bit signed range.
std::array<std::int16_t, 3> store_version_parts(const VersionTriple& triple);

// "Ombrix v." + A + "." + B + "." + C.
std::string ombrix_version_text(const std::array<std::int16_t, 3>& parts);

} // namespace om
