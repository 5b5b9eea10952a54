#include "release/notify.hpp"
#include "release/version_triple.hpp"

#include "release_fixture.hpp"
#include "support/captured_log.hpp"

namespace om {
namespace {

using platform::Control;
using Triple = std::array<std::int16_t, 3>;
using Strings = std::vector<std::string>;

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
const std::string offer_full = "the full installer <" + msi + "> (\"Ombrix v.2.1.5\" is newer than 2.1.4)";
const std::string offer_quick = "the quick update <om_exe.v.2.1.6.exe> (\"Ombrix v.2.1.6\")";

struct Notify : test::ReleaseSession {
    // The state a check leaves before the decision; the window as an earlier run left it.
    void decide(Triple web, Triple quick, bool msi_on, bool exe_on, const std::string& support = "")
    {
        s.installed_version = "2.1.4";
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
    // Page and quick-update versions, what is available, a pending support file; Label1, info, height,
    // exe_available after the decision, and the decision logged. C of a quick update not above the page's
    // names the page's version; a quick update older than the full version is dropped (A is not compared);
    // a pending support file wins and keeps the height; when no prompt applies the earlier captions stay.
    const std::string page = up_to_date + "Ombrix v.2.1.5 <msi>.", exe = up_to_date + "Ombrix v.2.1.6 <om_exe>.";
    const std::string none = "nothing to offer (the support package is already installed)", x = "earlier";
    const std::string ends = "up to date, nothing offered; the program ends after the exit count-down";
    const std::string full_and = "offer " + offer_full + " and ", sup = "up_support_b.exe";
    const std::string sup_first = "offer the support package <" + sup + "> alone (a pending support package goes";
    const std::tuple<Triple, Triple, bool, bool, std::string, std::string, std::string, int, bool, std::string>
        cases[] = {{{2, 1, 5}, {0, 0, 0}, false, false, "", page, x, 2805, false, ends},
                   {{2, 1, 5}, {2, 1, 6}, false, false, "", exe, x, 5000, false, ends},
                   {{2, 1, 5}, {2, 1, 5}, false, false, "", page, x, 2805, false, ends},
                   {{2, 1, 5}, {2, 2, 0}, false, false, "", page, x, 2805, false, ends},
                   {{2, 1, 5}, {2, 1, 6}, true, true, "", both, install_both, 4680, true, full_and + offer_quick},
                   {{2, 1, 5}, {2, 1, 5}, true, true, "", both, install_both, 4680, true, full_and},
                   {{2, 1, 5}, {2, 2, 0}, true, true, "", both, install_both, 4680, true, full_and},
                   {{2, 1, 5}, {2, 1, 4}, true, true, "", full, install, 4680, false, "offer " + offer_full + "\n"},
                   {{2, 1, 5}, {3, 0, 9}, true, true, "", full, install, 4680, false, "offer " + offer_full},
                   {{2, 1, 5}, {2, 1, 6}, false, true, "", quick, install, 4680, true, "offer " + offer_quick},
                   {{2, 1, 5}, {2, 1, 6}, true, true, sup, support, install, 5000, true, sup_first},
                   {{1, 9, 9}, {2, 1, 6}, false, true, "", x, x, 4680, false, none}};
    for (const auto& [web, quick, msi_on, exe_on, support, label, info, height, exe_after, decision] : cases) {
        test::CapturedLog log;
        decide(web, quick, msi_on, exe_on, support);
        const std::string row = ombrix_version_text(web) + " " + ombrix_version_text(quick);
        EXPECT_EQ(label1(), label) << row;
        EXPECT_EQ(fakes.window.text(Control::Info), info) << row;
        EXPECT_EQ(fakes.window.height(), height) << row;
        EXPECT_EQ(s.exe_available, exe_after) << row;
        EXPECT_EQ(fakes.window.entries("visible skip=1").size(), label == both ? 1u : 0u) << row;
        EXPECT_NE(log.text().find("Decision: " + decision), std::string::npos) << log.text();
    }
}

TEST_F(Notify, StepsInTheirOrder)
{
    decide({2, 1, 5}, {0, 0, 0}, false, false);
    EXPECT_EQ(
        fakes.window.log,
        (Strings{"text CheckNow2=Exit", "text CheckNow0=ReCheck", "text Label1=" + up_to_date + "Ombrix v.2.1.5 <msi>.",
                 "height=2805", "enabled CheckNow0=1", "visible Label=1", "timer count_down=1", "timer kill_timer=1"}));
    EXPECT_EQ(fakes.window.yields, 4);

    test::CapturedLog log;
    decide({2, 1, 5}, {2, 1, 6}, true, true);
    EXPECT_TRUE(log.has("Check findings: installed 2.1.4, page \"Ombrix v.2.1.5\", quick-update listing \"Ombrix "
                        "v.2.1.6\"; full installer newer: yes, quick update newer: yes, support package: none"))
        << log.text();
    // The download planning runs last and may add its own entries.
    EXPECT_EQ(Strings(fakes.window.log.begin(), fakes.window.log.begin() + 9),
              (Strings{"visible skip=0", "visible skip=1", "text CheckNow0=Re_Check", "visible CheckNow1=1",
                       "visible CheckNow2=1", "visible om_website=0", "text Label1=" + both,
                       "text info=" + install_both, "height=4680"}));
    EXPECT_EQ(fakes.window.yields, 3);

    // "om_exe" without a later ".exe" leaves the download name as it was.
    s.download_name = "kept";
    s.msi_available = s.exe_available = false;
    s.exe_address = "127.0.0.1/om_exe.v.2";
    notify(context);
    EXPECT_EQ(s.download_name, "kept");
}

} // namespace
} // namespace om
