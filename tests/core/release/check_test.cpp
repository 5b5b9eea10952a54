#include "release/get_new_version.hpp"

#include "release_fixture.hpp"

namespace om {
namespace {

using platform::Control;
using test::exe_url;
using test::page_url;
using test::support_url;

struct Check : test::ReleaseSession {};

const std::string up_to_date = "Congratulations you have the latest version of Ombrix! The Web version is ";

TEST_F(Check, ThreeRequestsInOrderWithTheFixedSettings)
{
    EXPECT_EQ(get_new_version(context), "v.2.1.5");
    EXPECT_EQ(http.sent, (std::vector<std::string>{support_url, page_url, exe_url}));
    EXPECT_EQ(http.user_agents, (std::vector<std::string>(3, "MyCustomUser")));
    // Each request: time-outs, open, header, then send; the events run inside send.
    const std::vector<std::string> first(http.log.begin(), http.log.begin() + 9);
    EXPECT_EQ(first,
              (std::vector<std::string>{"timeouts 2000 2000 2000 2000", "open GET " + support_url + " false",
                                        "header User-Agent: MyCustomUser", "keep_body 1", "send", "start 200 text/html",
                                        "data " + std::to_string(test::listing("").size()), "finished", "text"}));
    EXPECT_EQ(http.entries("start").size(), 3u);
    EXPECT_EQ(http.entries("abort").size(), 0u);
    EXPECT_FALSE(s.awaiting_support_list || s.awaiting_page || s.awaiting_exe_list);
    EXPECT_EQ(s.web_version_parts, (std::array<std::int16_t, 3>{2, 1, 5}));
    EXPECT_EQ(s.web_msi_version_text, "Ombrix v.2.1.5");
    EXPECT_EQ(s.msi_address, "127.0.0.1/rel/ombrix32_v2.1.5.msi");
    EXPECT_EQ(s.exe_address, "127.0.0.1/rel//latest_omexe/");
    EXPECT_EQ(s.exe_listing_path, "/latest_omexe/");
    EXPECT_EQ(fakes.window.text(Control::RichTextBox1), "New Feature Update \n\r> faster \n\r> smaller ");
    // Equal versions: the up-to-date message names the page's version, and the count-down starts.
    EXPECT_FALSE(s.msi_available);
    EXPECT_EQ(label1(), up_to_date + "Ombrix v.2.1.5 <msi>.");
    EXPECT_EQ(fakes.window.height(), 2805);
    EXPECT_TRUE(fakes.window.timer_enabled(platform::Timer::KillTimer));
}

TEST_F(Check, PageVersionAgainstTheInstalledOne)
{
    s.installed_version = "2.1.4";
    get_new_version(context);
    EXPECT_TRUE(s.msi_available);
    EXPECT_EQ(label1(), "A full version is available:\r<127.0.0.1/rel/ombrix32_v2.1.5.msi>. ");
    EXPECT_EQ(fakes.window.text(Control::Info), "Install automatically?");
    EXPECT_EQ(fakes.window.height(), 4680);

    s.installed_version = "3.0.0";
    get_new_version(context);
    EXPECT_FALSE(s.msi_available);
    EXPECT_EQ(label1(), up_to_date + "Ombrix v.2.1.5 <msi>.");

    // A second check of the same session forms every value again.
    s.installed_version = "2.0.9";
    site("(v.2.10.0)", "", "");
    EXPECT_EQ(get_new_version(context), "v.2.10.0");
    EXPECT_TRUE(s.msi_available);
    EXPECT_EQ(s.msi_address, "127.0.0.1/rel/ombrix32_v2.10.0.msi");
    EXPECT_EQ(http.sent.size(), 9u);
}

TEST_F(Check, BetaMarkerAndMissingMarker)
{
    site("(v.2.1.5 beta)", "", "");
    s.installed_version = "2.1.4";
    EXPECT_EQ(get_new_version(context), "v.2.1.5 beta");
    EXPECT_EQ(s.web_version_parts[2], 5);
    EXPECT_EQ(s.msi_address, "127.0.0.1/rel/ombrix32_v2.1.5beta.msi");

    // Without "(v." the check goes on: nothing on offer, the installer address has no version.
    s = Session{};
    s.install_dir = "C:\\Ombrix\\";
    s.site = "127.0.0.1/rel/ombrix.html";
    s.installed_version = "2.1.4";
    site("version two", "", "");
    EXPECT_EQ(get_new_version(context), "");
    EXPECT_FALSE(s.msi_available);
    EXPECT_EQ(s.msi_address, "127.0.0.1/rel/ombrix32_.msi");
    EXPECT_EQ(http.sent.back(), exe_url);
    EXPECT_EQ(label1().rfind(up_to_date, 0), 0u);

    // No installed version: nothing cut, nothing offered, the decision still runs.
    fakes.window.set_text(Control::Label1, "before");
    s.installed_version = "";
    site("(v.2.1.5)", "", "om_exe.v.2.1.6.exe");
    EXPECT_EQ(get_new_version(context), "");
    EXPECT_FALSE(s.msi_available);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(label1().rfind(up_to_date, 0), 0u);
}

TEST_F(Check, FailuresAbortQuietlyWithoutTheDecision)
{
    auto expect_failed_check = [&](const std::string& why) {
        fakes.window.set_text(Control::Label1, "before");
        http.log.clear();
        http.sent.clear();
        s.awaiting_page = s.awaiting_exe_list = true;
        EXPECT_EQ(get_new_version(context), "") << why;
        EXPECT_EQ(http.entries("abort").size(), 1u) << why;
        EXPECT_FALSE(s.awaiting_page || s.awaiting_exe_list) << why;
        EXPECT_EQ(label1(), "before") << why;
    };
    s.installed_version = "2.1.4";
    // ")" beyond the 20 characters that begin with "(v.".
    site("(v.2.1.5 long release name)", "", "");
    expect_failed_check("no ) in window");
    EXPECT_EQ(http.sent, (std::vector<std::string>{support_url, page_url}));

    http.responses[page_url].body = "<p>(v.2.1.5)</p><p>Ombrix Features</p>";
    expect_failed_check("no feature section");
    http.responses[page_url].body = "<p>Ombrix Features (v.2.1.5)</p><p>New Feature Update</p>";
    expect_failed_check("end marker before start");
    site("(v.2.1)", "", "");
    expect_failed_check("two dots");
    site("(v.2.1.99999)", "", "");
    expect_failed_check("outside 16 bits");
    site("(v.2.1.5)", "", "");
    s.installed_version = "2";
    expect_failed_check("installed version without dots");
    s.installed_version = "2.1.4";
    http.responses[support_url].send_throws = true;
    expect_failed_check("send failed");
    EXPECT_EQ(http.sent.size(), 1u);
}

TEST_F(Check, PackagesFromTheListings)
{
    // Quick update newer than the installed version and equal to the page's: both are offered.
    s.installed_version = "2.1.4";
    site("(v.2.1.5)", "", "om_exe.v.2.1.5.exe");
    get_new_version(context);
    EXPECT_TRUE(s.exe_available);
    EXPECT_EQ(s.listed_exe_name, "om_exe.v.2.1.5.exe");
    EXPECT_EQ(s.exe_address, "127.0.0.1/rel//latest_omexe/om_exe.v.2.1.5.exe");
    EXPECT_EQ(label1(), "A full version is available:\r<127.0.0.1/rel/ombrix32_v2.1.5.msi>. \rA quickie update "
                        "(usually for bug fixes or tune-ups) is also available:\r<om_exe.v.2.1.5.exe>.");
    EXPECT_EQ(fakes.window.text(Control::Info), "Install both automatically?");
    EXPECT_EQ(fakes.window.entries("visible skip=1").size(), 1u);

    // Quick update newer, page equal: the quick-update prompt.
    s.installed_version = "2.1.5";
    site("(v.2.1.5)", "", "om_exe.v.2.1.6.exe");
    get_new_version(context);
    EXPECT_TRUE(s.exe_available);
    EXPECT_EQ(s.web_exe_version_text, "Ombrix v.2.1.6");
    EXPECT_EQ(label1(), "A quickie update (usually for bug fixes or tune-ups) is available:\r<om_exe.v.2.1.6.exe>.");

    // Its completion marker present: nothing on offer; the quick-update version cut before is named.
    fakes.files.files["C:\\Ombrix\\om_exe.v.2.1.6.exe.completed"] = {};
    get_new_version(context);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(label1(), up_to_date + "Ombrix v.2.1.6 <om_exe>.");

    // Quick update older than the installed version.
    site("(v.2.1.5)", "", "om_exe.v.2.1.3.exe");
    get_new_version(context);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(s.exe_version_parts, (std::array<std::int16_t, 3>{2, 1, 3}));

    // Empty listing.
    site("(v.2.1.5)", "", "");
    get_new_version(context);
    EXPECT_EQ(s.listed_exe_name, "");
    EXPECT_FALSE(s.exe_available);
}

TEST_F(Check, SupportPackageAndItsMarker)
{
    s.installed_version = "2.1.4";
    site("(v.2.1.5)", "up_support_a.exe", "");
    get_new_version(context);
    EXPECT_TRUE(s.support_available);
    EXPECT_EQ(s.support_file, "up_support_a.exe");
    EXPECT_EQ(label1(), "A necessary support file is available:\r<up_support_a.exe>. Please press INSTALL to download "
                        "into <C:\\Ombrix\\> and restart Ombrix. Update will automatically recheck for updates");
    EXPECT_NE(fakes.window.height(), 4680);
    // After the support listing, with no other flag set, its body is also kept as received bytes.
    EXPECT_EQ(std::string(s.received_bytes.begin(), s.received_bytes.end()), test::listing("up_support_a.exe"));

    fakes.files.files["C:\\Ombrix\\up_support_a.exe.completed"] = {};
    get_new_version(context);
    EXPECT_FALSE(s.support_available);
    EXPECT_EQ(s.support_file, "");
    EXPECT_EQ(label1(), "A full version is available:\r<127.0.0.1/rel/ombrix32_v2.1.5.msi>. ");
}

TEST_F(Check, NamesThatAreNoPlainFileNamesAreNotOffered)
{
    s.installed_version = "2.1.4";
    site("(v.2.1.4)", "up_support/../../evil.exe", "om_exe.v.2.1.6\\..\\..\\evil.exe");
    get_new_version(context);
    EXPECT_FALSE(s.support_available);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(s.listed_exe_name, "");
    http.responses[exe_url].body = "<a href=\"om_exe.v.2.1.6\".exe\">x</a>";
    get_new_version(context);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(label1().rfind(up_to_date, 0), 0u);
}

} // namespace
} // namespace om
