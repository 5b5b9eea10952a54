#include "release/notify.hpp"
#include "release/version_triple.hpp"

#include "release_fixture.hpp"
#include "support/captured_log.hpp"

namespace om {
namespace {

using platform::Control;
using Triple = std::array<std::int16_t, 3>;

const std::string up_to_date = "Congratulations you have the latest version of Ombrix! The Web version is ";
const std::string msi = "127.0.0.1/rel/ombrix32_v2.1.5.msi";
const std::string full = "A full version is available:\r<" + msi + ">. ";
const std::string quickie = "A quickie update (usually for bug fixes or tune-ups) is ";
const std::string both = full + "\r" + quickie + "also available:\r<om_exe.v.2.1.6.exe>.";
const std::string quick = quickie + "available:\r<om_exe.v.2.1.6.exe>.";
const std::string support = "A necessary support file is available:\r<up_support_b.exe>. Please press INSTALL to "
                            "download into <C:\\Ombrix\\> and restart Ombrix. Update will automatically recheck for "
                            "updates";
const std::string install = "Install automatically?", install_both = "Install both automatically?";

struct Notify : test::ReleaseSession {
    // The state a check leaves before the decision; the window as an earlier run left it.
    void decide(Triple web, Triple quick, bool msi_on, bool exe_on, const std::string& support = "")
    {
        s.web_version_parts = web;
        s.exe_version_parts = quick;
        s.web_msi_version_text = ombrix_version_text(web);
        s.web_exe_version_text = ombrix_version_text(quick);
        s.msi_available = msi_on;
        s.exe_available = exe_on;
        s.support_file = support;
        s.support_available = !support.empty();
        s.msi_address = msi;
        s.exe_address = "127.0.0.1/rel//latest_omexe/om_exe.v.2.1.6.exe";
        fakes.window.set_text(Control::Label1, "earlier");
        fakes.window.set_text(Control::Info, "earlier");
        fakes.window.set_height(5000);
        fakes.window.log.clear();
        fakes.window.yields = 0;
        notify(context);
    }
};

TEST_F(Notify, OnePromptOrTheUpToDateText)
{
    // Page and quick-update versions, what is available, a pending support file; Label1, info, height and
    // exe_available after the decision. C of a quick update not above the page's names the page's version; a quick
    // update older than the full version is dropped (A is not compared); a pending support file wins and keeps the
    // height; when no prompt applies the earlier captions stay.
    const std::tuple<Triple, Triple, bool, bool, std::string, std::string, std::string, int, bool> cases[] = {
        {{2, 1, 5}, {0, 0, 0}, false, false, "", up_to_date + "Ombrix v.2.1.5 <msi>.", "earlier", 2805, false},
        {{2, 1, 5}, {2, 1, 6}, false, false, "", up_to_date + "Ombrix v.2.1.6 <om_exe>.", "earlier", 5000, false},
        {{2, 1, 5}, {2, 2, 0}, false, false, "", up_to_date + "Ombrix v.2.1.5 <msi>.", "earlier", 2805, false},
        {{2, 1, 5}, {2, 1, 6}, true, true, "", both, install_both, 4680, true},
        {{2, 1, 5}, {2, 1, 5}, true, true, "", both, install_both, 4680, true},
        {{2, 1, 5}, {2, 2, 0}, true, true, "", both, install_both, 4680, true},
        {{2, 1, 5}, {2, 1, 4}, true, true, "", full, install, 4680, false},
        {{2, 1, 5}, {3, 0, 9}, true, true, "", full, install, 4680, false},
        {{2, 1, 5}, {2, 1, 6}, false, true, "", quick, install, 4680, true},
        {{2, 1, 5}, {2, 1, 6}, true, true, "up_support_b.exe", support, install, 5000, true},
        {{1, 9, 9}, {2, 1, 6}, false, true, "", "earlier", "earlier", 4680, false}};
    for (const auto& [web, quick, msi_on, exe_on, support, label, info, height, exe_after] : cases) {
        decide(web, quick, msi_on, exe_on, support);
        const std::string row = ombrix_version_text(web) + " " + ombrix_version_text(quick);
        EXPECT_EQ(label1(), label) << row;
        EXPECT_EQ(fakes.window.text(Control::Info), info) << row;
        EXPECT_EQ(fakes.window.height(), height) << row;
        EXPECT_EQ(s.exe_available, exe_after) << row;
        EXPECT_EQ(fakes.window.entries("visible skip=1").size(), label == both ? 1u : 0u) << row;
    }
}

TEST_F(Notify, StepsInTheirOrder)
{
    decide({2, 1, 5}, {0, 0, 0}, false, false);
    EXPECT_EQ(fakes.window.log, (std::vector<std::string>{"text CheckNow2=Exit", "text CheckNow0=ReCheck",
                                                          "text Label1=" + up_to_date + "Ombrix v.2.1.5 <msi>.",
                                                          "height=2805", "enabled CheckNow0=1", "visible Label=1",
                                                          "timer count_down=1", "timer kill_timer=1"}));
    EXPECT_EQ(fakes.window.yields, 4);

    test::CapturedLog log;
    s.installed_version = "2.1.4";
    decide({2, 1, 5}, {2, 1, 6}, true, true);
    // The findings and the decision with its reasons, for support.
    EXPECT_TRUE(log.has("Check findings: installed 2.1.4, page \"Ombrix v.2.1.5\", quick-update listing \"Ombrix "
                        "v.2.1.6\"; full installer newer: yes, quick update newer: yes, support package: none") &&
                log.has("Decision: offer the full installer <" + msi +
                        "> (\"Ombrix v.2.1.5\" is newer than 2.1.4) and the quick update <om_exe.v.2.1.6.exe> "
                        "(\"Ombrix v.2.1.6\")"))
        << log.text();
    decide({2, 1, 5}, {0, 0, 0}, true, false); // the full installer alone
    EXPECT_TRUE(log.has("Decision: offer the full installer <" + msi + "> (\"Ombrix v.2.1.5\" is newer than 2.1.4)"))
        << log.text();
    decide({2, 1, 5}, {2, 1, 6}, true, true);
    const std::vector<std::string> offer{
        "visible skip=0",      "visible skip=1",       "text CheckNow0=Re_Check", "visible CheckNow1=1",
        "visible CheckNow2=1", "visible om_website=0", "text Label1=" + both,     "text info=" + install_both,
        "height=4680"};
    // The download planning runs last and may add its own entries.
    EXPECT_EQ(std::vector<std::string>(fakes.window.log.begin(), fakes.window.log.begin() + 9), offer);
    EXPECT_EQ(fakes.window.yields, 3);

    // "om_exe" without a later ".exe" leaves the download name as it was.
    decide({1, 9, 9}, {2, 1, 6}, false, true);
    s.download_name = "kept";
    s.exe_address = "127.0.0.1/om_exe.v.2";
    notify(context);
    EXPECT_EQ(s.download_name, "kept");
}

} // namespace
} // namespace om
