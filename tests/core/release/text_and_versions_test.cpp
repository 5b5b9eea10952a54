#include "release/html_to_text.hpp"
#include "release/offerable_name.hpp"
#include "release/version_triple.hpp"

#include "common/regimes.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

TEST(HtmlToText, TagsBreaksAndEntitiesInTheirOrder)
{
    EXPECT_EQ(html_to_text("a<br>b"), "a b");
    EXPECT_EQ(html_to_text("a<BR>b"), "a b");
    EXPECT_EQ(html_to_text("a<br/>b"), "ab");
    EXPECT_EQ(html_to_text("<td>a</td><td>b</td>"), "ab");
    EXPECT_EQ(html_to_text("x&amp;gt;y"), "x&gt;y");
    EXPECT_EQ(html_to_text("&lt;b&gt;"), "<b>");
    EXPECT_EQ(html_to_text("a&NBSP;&nbsp;b"), "a b");
    EXPECT_EQ(html_to_text("X&GT;y&Lt;z&AMP;"), "X>y<z&");
    // White space runs become one blank, kept at both ends.
    EXPECT_EQ(html_to_text("\r\n\t a \f\v b \n"), " a b ");
    // A tag may span lines; a "<" without a later ">" stays as it is.
    EXPECT_EQ(html_to_text("a<p\nclass=x>b<c"), "ab<c");
    EXPECT_EQ(html_to_text("a < b <br> c"), "a < b c");
    // "<br>" becomes a line feed before tags are removed, so its ">" does not close an open tag.
    EXPECT_EQ(html_to_text("a<x<br>y>b"), "ab");
    EXPECT_EQ(html_to_text("<<br>>"), "");
    EXPECT_EQ(html_to_text(""), "");
}

TEST(HtmlToText, LargePageNeedsNoDeepStack)
{
    // Tens of megabytes in one tag-free run and in many small tags: a recursive engine overflows here.
    std::string page(20'000'000, 'a');
    for (std::size_t i = 0; i < page.size(); i += 1000)
        page.replace(i, 8, "<b>x</b>");
    const std::string text = html_to_text(page);
    EXPECT_EQ(text.size(), page.size() - (page.size() / 1000) * 7);
    EXPECT_EQ(text.substr(0, 3), "xaa");
}

TEST(VersionTriple, CutsTheMarkedAndTheInstalledForms)
{
    const auto web = cut_marked_version("v.2.1.5 beta");
    EXPECT_EQ(web.a, 2);
    EXPECT_EQ(web.b, 1);
    EXPECT_EQ(web.c, 5);
    const auto quick = cut_marked_version(".2.10.3");
    EXPECT_EQ(quick.b, 10);
    EXPECT_EQ(quick.c, 3);
    // The last number takes the rest of the text, later dots included.
    EXPECT_DOUBLE_EQ(cut_marked_version("v.2.1.5.7").c, 5.7);
    EXPECT_EQ(cut_marked_version("v.x.1.").a, 0);
    EXPECT_THROW(cut_marked_version("v.2.1"), StepFailed);

    const auto local = cut_installed_version("2.1.5.0");
    EXPECT_EQ(local.a, 2);
    EXPECT_EQ(local.b, 1);
    EXPECT_EQ(local.c, 5);
    EXPECT_THROW(cut_installed_version("2.1"), StepFailed);
    EXPECT_THROW(cut_installed_version(""), StepFailed);
}

TEST(VersionTriple, NewerRuleComparesNumbersInOrder)
{
    auto newer = [](const char* web, const char* installed) {
        return is_newer_version(cut_marked_version(web), cut_installed_version(installed));
    };
    EXPECT_FALSE(newer("v.2.1.5", "2.1.5"));
    EXPECT_TRUE(newer("v.2.1.5", "2.1.4"));
    EXPECT_FALSE(newer("v.2.1.5", "3.0.0"));
    EXPECT_TRUE(newer("v.2.10.3", "2.9.12"));
    EXPECT_FALSE(newer("v.2.9.12", "2.10.3"));
    EXPECT_TRUE(newer("v.3.0.0", "2.99.99"));
    // Unrounded: 5.4 is newer than 5 although both are stored as 5.
    EXPECT_TRUE(newer("v.2.1.5.4", "2.1.5"));
    EXPECT_EQ(store_version_parts(cut_marked_version("v.2.1.5.4"))[2], 5);
}

TEST(VersionTriple, StoredRoundedHalfToEvenWithinSixteenBits)
{
    EXPECT_EQ(store_version_parts({2.5, 3.5, -2.5}), (std::array<std::int16_t, 3>{2, 4, -2}));
    EXPECT_EQ(store_version_parts({0.49, 0.51, 32767.4}), (std::array<std::int16_t, 3>{0, 1, 32767}));
    EXPECT_EQ(store_version_parts({-32768, 0, 0})[0], -32768);
    EXPECT_THROW(store_version_parts({0, 32767.5, 0}), StepFailed);
    EXPECT_THROW(store_version_parts({0, 0, 40000}), StepFailed);
    EXPECT_THROW(store_version_parts({-32769, 0, 0}), StepFailed);
    EXPECT_EQ(ombrix_version_text({2, 10, 0}), "Ombrix v.2.10.0");
}

TEST(OfferableName, OnlyPlainFileNames)
{
    EXPECT_TRUE(is_offerable_file_name("om_exe.v.2.1.6.exe"));
    EXPECT_TRUE(is_offerable_file_name("up_support_a.exe"));
    for (const char* bad : {"", "up_support/../../x.exe", "up_support\\x.exe", "up_support..exe", "up_support:x.exe",
                            "up_support\".exe", "up_support\r.exe", "om_exe.v.1\x7f.exe"})
        EXPECT_FALSE(is_offerable_file_name(bad)) << bad;
}

} // namespace
} // namespace om
