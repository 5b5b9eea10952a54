// A whole check over libcurl against a real release site on 127.0.0.1: the server's own directory
// listings, the page, the request order as the server saw it, and the decision.
#include "contract/http_fixture.hpp"
#include "release/get_new_version.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace om {
namespace {

using platform::Control;

struct ReleaseCheck : ::testing::Test {
    std::unique_ptr<test::HttpFixture> fixture = test::make_http_fixture();
    test::TestPlatform fakes;
    platform::Platform services = (fakes.http = &fixture->http(), fakes.services());
    Context context{services};
    Session& s = context.session;

    ReleaseCheck()
    {
        const char* source = std::getenv("OM_SOURCE_DIR");
        const std::filesystem::path site =
            std::filesystem::path(source ? source : OM_TEST_SOURCE_DIR) / "tests/fixtures/release_site";
        std::filesystem::copy(site, fixture->root(), std::filesystem::copy_options::recursive);
        s.install_dir = "C:\\Ombrix\\";
        s.site = host() + "/ombrix.html";
        s.installed_version = "2.1.5";
    }
    std::string host() { return fixture->server().substr(7); }
    std::string label1() { return fakes.window.text(Control::Label1); }
};

TEST_F(ReleaseCheck, OfferBothFromTheRealSite)
{
    EXPECT_EQ(get_new_version(context), "v.2.1.6");
    EXPECT_EQ(fixture->requests(),
              (std::vector<std::string>{"/support_files/ MyCustomUser", "/ombrix.html MyCustomUser",
                                        "/latest_omexe/ MyCustomUser"}));
    EXPECT_TRUE(s.msi_available);
    EXPECT_TRUE(s.exe_available);
    EXPECT_FALSE(s.support_available);
    EXPECT_EQ(s.msi_address, host() + "/ombrix32_v2.1.6.msi");
    EXPECT_EQ(s.exe_address, host() + "//latest_omexe/om_exe.v.2.1.6.exe");
    EXPECT_EQ(fakes.window.text(Control::Info), "Install both automatically?");
    EXPECT_EQ(label1(), "A full version is available:\r<" + s.msi_address +
                            ">. \rA quickie update (usually for bug fixes or tune-ups) is also available:\r"
                            "<om_exe.v.2.1.6.exe>.");
    EXPECT_EQ(fakes.window.text(Control::RichTextBox1),
              "New Feature Update \n\r> Faster spectral fits on large frames \n\r> Smaller & quicker installer ");
    EXPECT_EQ(fakes.window.height(), 4680);

    // Each response start showed the window on top and set the bar's maximum to its Content-Length;
    // the data moved the bar only while within that maximum.
    EXPECT_EQ(fakes.window.entries("on_top").size(), 3u);
    const auto maxima = fakes.window.entries("max=");
    ASSERT_EQ(maxima.size(), 3u);
    const auto page_size = std::filesystem::file_size(fixture->root() / "ombrix.html");
    EXPECT_EQ(maxima[1], "max=" + std::to_string(page_size));
    EXPECT_LE(fakes.window.progress_value(), fakes.window.progress_max());
    const auto values = fakes.window.entries("value=");
    ASSERT_FALSE(values.empty());
    EXPECT_EQ(values.front().substr(6), maxima[0].substr(4)); // the first listing, in one piece
}

TEST_F(ReleaseCheck, AnAddressThatIsNoAddressFailsTheCheck)
{
    // A port out of range or not a number is refused when the request is opened: no request, no
    // decision, the check says it failed, and the program goes on. Blanks are escaped.
    const auto before = fixture->requests().size();
    for (const std::string& site :
         {std::string("127.0.0.1:99999/ombrix.html"), std::string("127.0.0.1:x/ombrix.html")}) {
        s.site = site;
        fakes.window.set_text(Control::Label1, "before");
        EXPECT_EQ(get_new_version(context), "") << site;
        EXPECT_NE(label1().find("could not be read."), std::string::npos) << site;
    }
    EXPECT_EQ(fixture->requests().size(), before);
    EXPECT_EQ(fakes.processes.ended, 0);
    std::filesystem::create_directories(fixture->root() / "a b");
    std::filesystem::copy(fixture->root() / "ombrix.html", fixture->root() / "a b" / "ombrix.html");
    std::filesystem::copy(fixture->root() / "support_files", fixture->root() / "a b" / "support_files");
    std::filesystem::copy(fixture->root() / "latest_omexe", fixture->root() / "a b" / "latest_omexe");
    s.site = host() + "/a b/ombrix.html";
    get_new_version(context);
    EXPECT_TRUE(s.msi_available);
    EXPECT_EQ(fixture->requests().back(), "/a%20b/latest_omexe/ MyCustomUser");
}

} // namespace
} // namespace om
