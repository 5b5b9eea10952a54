// A whole check over libcurl against a real release site on 127.0.0.1: the server's own directory
// listings, the page, the request order as the server saw it, the decision, and the failures.
#include "contract/http_fixture.hpp"
#include "release/get_new_version.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

namespace om {
namespace {

using platform::Control;

const std::string up_to_date = "Congratulations you have the latest version of Ombrix! The Web version is ";

struct ReleaseCheck : ::testing::Test {
    std::unique_ptr<test::HttpFixture> fixture = test::make_http_fixture();
    test::TestPlatform fakes;
    platform::Platform services = (fakes.http = &fixture->http(), fakes.services());
    Context context{services};
    Session& s = context.session;
    std::string fixture_page;

    ReleaseCheck()
    {
        const char* source = std::getenv("OM_SOURCE_DIR");
        const std::filesystem::path site =
            std::filesystem::path(source ? source : OM_TEST_SOURCE_DIR) / "tests/fixtures/release_site";
        std::filesystem::copy(site, fixture->root(), std::filesystem::copy_options::recursive);
        std::ifstream in(site / "ombrix.html");
        fixture_page.assign(std::istreambuf_iterator<char>(in), {});
        s.install_dir = "C:\\Ombrix\\";
        s.site = host() + "/ombrix.html";
        s.installed_version = "2.1.5";
    }
    std::string host() { return fixture->server().substr(7); }
    void page_version(const std::string& marker)
    {
        std::string page = fixture_page;
        page.replace(page.find("(v.2.1.6)"), 9, marker);
        std::ofstream(fixture->root() / "ombrix.html", std::ios::trunc) << page;
    }
    void quick_update(const std::string& name)
    {
        std::filesystem::remove_all(fixture->root() / "latest_omexe");
        std::filesystem::create_directories(fixture->root() / "latest_omexe");
        if (!name.empty())
            std::ofstream(fixture->root() / "latest_omexe" / name) << "package";
    }
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

TEST_F(ReleaseCheck, EqualOlderNewerAndASecondCheck)
{
    page_version("(v.2.1.5)");
    quick_update("om_exe.v.2.1.5.exe");
    EXPECT_EQ(get_new_version(context), "v.2.1.5");
    EXPECT_FALSE(s.msi_available);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(label1(), up_to_date + "Ombrix v.2.1.5 <msi>.");
    EXPECT_EQ(fakes.window.height(), 2805);

    page_version("(v.2.0.9)");
    quick_update("om_exe.v.2.1.4.exe");
    get_new_version(context);
    EXPECT_FALSE(s.msi_available || s.exe_available);

    // A second check in the same session sees the new release.
    page_version("(v.2.1.9 beta)");
    quick_update("");
    EXPECT_EQ(get_new_version(context), "v.2.1.9 beta");
    EXPECT_TRUE(s.msi_available);
    EXPECT_EQ(s.msi_address, host() + "/ombrix32_v2.1.9beta.msi");
    EXPECT_EQ(label1(), "A full version is available:\r<" + s.msi_address + ">. ");
    EXPECT_EQ(fixture->requests().size(), 9u);
}

TEST_F(ReleaseCheck, PageWithoutVersionAndBrokenMarker)
{
    page_version("(v. unknown");
    const auto before = fixture->requests().size();
    // "(v." without ")" in its 20 characters: the check ends after the page, without the decision.
    fakes.window.set_text(Control::Label1, "before");
    EXPECT_EQ(get_new_version(context), "");
    EXPECT_EQ(fixture->requests().size() - before, 2u);
    EXPECT_EQ(label1(), "before");

    std::ofstream(fixture->root() / "ombrix.html", std::ios::trunc)
        << "<p>New Feature Update</p><p>&gt; one</p><p>Ombrix Features</p>";
    quick_update("om_exe.v.2.1.6.exe");
    EXPECT_EQ(get_new_version(context), "");
    EXPECT_FALSE(s.msi_available);
    EXPECT_EQ(s.msi_address, host() + "/ombrix32_.msi");
    EXPECT_TRUE(s.exe_available);
    EXPECT_EQ(label1(), "A quickie update (usually for bug fixes or tune-ups) is available:\r<om_exe.v.2.1.6.exe>.");
}

TEST_F(ReleaseCheck, SupportPackageWithAndWithoutItsMarker)
{
    std::ofstream(fixture->root() / "support_files" / "up_support_a.exe") << "x";
    get_new_version(context);
    EXPECT_TRUE(s.support_available);
    EXPECT_EQ(s.support_file, "up_support_a.exe");
    EXPECT_EQ(fakes.window.text(Control::Info), "Install automatically?");
    EXPECT_EQ(label1().rfind("A necessary support file is available:\r<up_support_a.exe>.", 0), 0u);

    fakes.files.files["C:\\Ombrix\\up_support_a.exe.completed"] = {};
    get_new_version(context);
    EXPECT_FALSE(s.support_available);
    EXPECT_EQ(fakes.window.text(Control::Info), "Install both automatically?");
}

TEST_F(ReleaseCheck, AnAddressThatIsNoAddressFailsTheCheckQuietly)
{
    // A port out of range or not a number is refused when the request is opened: no request, no
    // decision, and the program goes on. Blanks are escaped.
    const auto before = fixture->requests().size();
    for (const std::string& site :
         {std::string("127.0.0.1:99999/ombrix.html"), std::string("127.0.0.1:x/ombrix.html")}) {
        s.site = site;
        fakes.window.set_text(Control::Label1, "before");
        EXPECT_EQ(get_new_version(context), "") << site;
        EXPECT_EQ(label1(), "before") << site;
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

TEST_F(ReleaseCheck, FailedRequestsEndTheProgram)
{
    // Refused, silent after accepting (about 2 s), and a name that cannot resolve.
    for (const std::string& site :
         {fixture->refused().substr(7) + "/ombrix.html", host() + "/special/silent/ombrix.html",
          std::string("updates.invalid/ombrix.html")}) {
        s.site = site;
        s.manual_run = false;
        fakes.window.log.clear();
        EXPECT_THROW(get_new_version(context), ProgramEnded) << site;
        EXPECT_TRUE(fakes.window.entries("text Label1").empty()) << site;
    }
    EXPECT_EQ(fakes.processes.ended, 3);

    // With "/manual" the message shows for two seconds first.
    s.manual_run = true;
    s.site = "updates.invalid/ombrix.html";
    const auto waited_before = fakes.window.waited_ms;
    fakes.window.set_top(4000);
    EXPECT_THROW(get_new_version(context), ProgramEnded);
    EXPECT_EQ(label1(), "Internet Connection Error!");
    EXPECT_EQ(fakes.window.top(), 1000);
    EXPECT_GE(fakes.window.waited_ms - waited_before, 2000);
}

} // namespace
} // namespace om
