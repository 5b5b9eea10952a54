#include "release/html_to_text.hpp"
#include "release/offerable_name.hpp"
#include "release/version_triple.hpp"

#include "common/regimes.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

TEST(HtmlToText, TagsBreaksAndEntitiesInTheirOrder)
{
    // Markup and its plain text, in pairs. White space runs become one blank, kept at both ends; a tag
    // may span lines; "<br>" becomes a line feed before tags are removed, so its ">" closes no open tag.
    // clang-format off
    const char* cases[] = {"a<br>b", "a b", "a<BR>b", "a b", "a<br/>b", "ab", "<td>a</td><td>b</td>", "ab",
                           "x&amp;gt;y", "x&gt;y", "&lt;b&gt;", "<b>", "a&NBSP;&nbsp;b", "a b", "X&GT;y&Lt;z&AMP;",
                           "X>y<z&", "\r\n\t a \f\v b \n", " a b ", "a<p\nclass=x>b<c", "ab<c", "a < b <br> c",
                           "a < b c", "a<x<br>y>b", "ab", "<<br>>", "", "R&D &amp", "R&D &amp", "", ""};
    // clang-format on
    for (std::size_t i = 0; i < std::size(cases); i += 2)
        EXPECT_EQ(html_to_text(cases[i]), cases[i + 1]) << cases[i];
}

TEST(VersionTriple, CutsTheMarkedAndTheInstalledForms)
{
    // Text, marked form or installed form, A, B, C. The last number takes the rest of the text, later dots
    // included; A < 0: the cut fails.
    const std::tuple<const char*, bool, double, double, double> cases[] = {
        {"v.2.1.5 beta", true, 2, 1, 5}, {".2.10.3", true, 2, 10, 3}, {"v.2.1.5.7", true, 2, 1, 5.7},
        {"v.x.1.", true, 0, 1, 0},       {"v.2.1", true, -1, 0, 0},   {"2.1.5.0", false, 2, 1, 5},
        {"2.1", false, -1, 0, 0},        {"", false, -1, 0, 0}};
    const auto weight = [](const VersionTriple& v) { return v.a + v.b * 1e3 + v.c * 1e6; };
    for (const auto& [text, marked, a, b, c] : cases) {
        const auto cut = marked ? &cut_marked_version : &cut_installed_version;
        if (a < 0)
            EXPECT_THROW(cut(text), StepFailed) << text;
        else
            EXPECT_DOUBLE_EQ(weight(cut(text)), weight({a, b, c})) << text;
    }
}

TEST(VersionTriple, NewerRuleComparesNumbersInOrder)
{
    // Unrounded: 5.4 is newer than 5 although both are stored as 5.
    const std::tuple<const char*, const char*, bool> cases[] = {
        {"v.2.1.5", "2.1.5", false},  {"v.2.1.5", "2.1.4", true},    {"v.2.1.5", "3.0.0", false},
        {"v.2.10.3", "2.9.12", true}, {"v.2.9.12", "2.10.3", false}, {"v.3.0.0", "2.99.99", true},
        {"v.2.0.9", "2.1.0", false},  {"v.2.2.0", "2.1.9", true},    {"v.2.1.5.4", "2.1.5", true}};
    for (const auto& [web, installed, newer] : cases)
        EXPECT_EQ(is_newer_version(cut_marked_version(web), cut_installed_version(installed)), newer) << web;
}

TEST(VersionTriple, StoredRoundedHalfToEvenWithinSixteenBits)
{
    EXPECT_EQ(store_version_parts({2.5, 3.5, -2.5}), (std::array<std::int16_t, 3>{2, 4, -2}));
    EXPECT_EQ(store_version_parts({0.49, 0.51, 32767.4}), (std::array<std::int16_t, 3>{0, 1, 32767}));
    EXPECT_EQ(store_version_parts({-32768, 0, 5.4}), (std::array<std::int16_t, 3>{-32768, 0, 5}));
    for (const VersionTriple outside : {VersionTriple{0, 32767.5, 0}, {0, 0, 40000}, {-32769, 0, 0}})
        EXPECT_THROW(store_version_parts(outside), StepFailed);
}

TEST(OfferableName, OnlyPlainFileNames)
{
    for (const char* bad : {"", "up_support/../../x.exe", "up_support\\x.exe", "up_support..exe", "up_support:x.exe",
                            "up_support\".exe", "up_support\r.exe", "om_exe.v.1\x7f.exe"})
        EXPECT_FALSE(is_offerable_file_name(bad)) << bad;
}

} // namespace
} // namespace om
