// Start-up of the window om_update, driven through the scripted window and in-memory services.
#include "app/om_update.hpp"
#include "state/crash_detector.hpp"
#include "support/captured_log.hpp"
#include "support/support.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace om::test {
namespace {

using platform::Control;

const std::string install = "C:\\Ombrix\\";
const std::string default_page = std::string(OM_DEFAULT_SITE_HOST) + "/ombrix.html";

class StartUp : public ::testing::Test {
protected:
    TestPlatform tp;
    platform::Platform services = tp.services();
    Context context{services};
    OmUpdate app{context};

    void SetUp() override
    {
        tp.window.set_handler(&app);
        tp.registry.set_text(app_key_path, "exepath", install);
        tp.registry.set_text(app_key_path, "ProductVersion", "2.1.5.0");
        tp.files.folders.insert("C:\\Ombrix");
        tp.files.files[install + "om_updat.exe"] = {'M', 'Z', 1};
    }

    // Runs the load handler; true when it ended the program.
    bool load(const std::string& command_line, const std::string& exe = install + "om_updater_now.exe")
    {
        tp.processes.command_line = command_line;
        tp.processes.exe_path = exe;
        try {
            app.load();
            return false;
        } catch (const ProgramEnded&) {
            return true;
        }
    }

    std::size_t log_index(const std::string& entry) const
    {
        auto& log = tp.window.log;
        return static_cast<std::size_t>(std::find(log.begin(), log.end(), entry) - log.begin());
    }
};

TEST_F(StartUp, InstalledUpdaterRelaunchesItsQuotedCopyInTheInstallationFolderAndEnds)
{
    tp.files.files[install + "om_updater_now.exe"] = {'o', 'l', 'd'};
    ASSERT_TRUE(load("/manual host/ombrix.html", install + "om_updat.exe"));

    ASSERT_EQ(tp.processes.starts.size(), 1u);
    EXPECT_EQ(tp.processes.starts[0].command_line, "\"C:\\Ombrix\\om_updater_now.exe\" /manual host/ombrix.html");
    EXPECT_EQ(tp.processes.starts[0].show_window, platform::sw_normal);
    EXPECT_EQ(tp.processes.starts[0].current_folder, "C:\\Ombrix");
    // The stale copy was replaced by a fresh one.
    EXPECT_EQ(tp.files.files[install + "om_updater_now.exe"], tp.files.files[install + "om_updat.exe"]);
    EXPECT_FALSE(tp.window.shown());
    EXPECT_TRUE(tp.window.entries("on_top").empty());
    EXPECT_EQ(tp.window.title(), "Ombrix Updater");
    // The text is handed on as received, switches and blanks still in it.
    tp.processes.starts.clear();
    ASSERT_TRUE(load(" /skip_down  a b", install + "OM_UPDAT.EXE"));
    ASSERT_EQ(tp.processes.starts.size(), 1u);
    EXPECT_EQ(tp.processes.starts[0].command_line, "\"C:\\Ombrix\\om_updater_now.exe\"  /skip_down  a b");
}

TEST_F(StartUp, CopyThatNeverAppearsIsWaitedForBoundedlyThenTheUpdaterRunsInPlace)
{
    tp.files.files.erase(install + "om_updat.exe"); // nothing to copy: the copy never appears
    EXPECT_FALSE(load("/manual", install + "om_updat.exe"));

    EXPECT_TRUE(tp.processes.starts.empty());
    EXPECT_GE(tp.window.waited_ms, copy_wait_limit_ms);
    EXPECT_LT(tp.window.waited_ms, copy_wait_limit_ms + 1000);
    EXPECT_TRUE(tp.window.shown());
    EXPECT_EQ(tp.window.title(), "Ombrix Updater");
    EXPECT_TRUE(context.session.manual_run);
    EXPECT_EQ(context.session.site, default_page);
}

TEST_F(StartUp, CopyThatCannotBeStartedLeavesTheUpdaterRunningInPlace)
{
    tp.processes.missing_programs.insert("\"C:\\Ombrix\\om_updater_now.exe\"");
    EXPECT_FALSE(load("", install + "om_updat.exe"));
    EXPECT_TRUE(tp.window.shown());
    EXPECT_TRUE(tp.window.visible(Control::CheckNow0));
}

TEST_F(StartUp, RunningCopyReadsSwitchesTakesTheTitleAndChecksAtOnce)
{
    test::CapturedLog log;
    load("/skip_down /manual host/ombrix.html");
    EXPECT_TRUE(log.has("Start: updater 15.0.1, command line \"/skip_down /manual host/ombrix.html\", install_dir "
                        "\"C:\\Ombrix\\\", running as the copy om_updater_now"))
        << log.text();
    const Session& s = context.session;
    EXPECT_TRUE(s.skip_download);
    EXPECT_TRUE(s.manual_run);
    EXPECT_FALSE(s.updated_run);
    EXPECT_EQ(s.site, "host/ombrix.html");
    EXPECT_EQ(s.exe_address, "host/ombrix.html");
    EXPECT_EQ(s.install_dir, install);
    EXPECT_EQ(s.default_site, default_page);
    EXPECT_EQ(s.uninstall_msi_path, "\"C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi\"");
    EXPECT_EQ(s.installed_version, "0.0.0");
    EXPECT_EQ(tp.window.title(), "Ombrix Web Updater [v. 15.0.1 U]");
    EXPECT_EQ(tp.window.height(), 2805);
    // The field went through "Not set!" to the address; each change ran the field's handler.
    EXPECT_LT(log_index("text om_website=Not set!"), log_index("text om_website=host/ombrix.html"));
    EXPECT_LT(log_index("text Label1=Check Not set! for Ombrix updates. "), tp.window.log.size());
    const std::size_t checking = log_index("text Label1=Checking host/ombrix.html for Ombrix updates. ");
    ASSERT_LT(checking, tp.window.log.size());
    EXPECT_LT(log_index("on_top"), checking);
    EXPECT_TRUE(tp.window.visible(Control::OmWebsite));
    EXPECT_TRUE(tp.window.visible(Control::CheckNow0));
    EXPECT_TRUE(tp.window.visible(Control::CheckNow2));
    EXPECT_FALSE(tp.window.visible(Control::CheckNow1));
    // Start-up made the installation folder current.
    EXPECT_EQ(tp.files.current, "C:\\Ombrix");
}

TEST_F(StartUp, SwitchesInOtherLetterCaseStayInTheAddress)
{
    load("/MANUAL host/ombrix.html");
    EXPECT_FALSE(context.session.manual_run);
    EXPECT_EQ(context.session.site, "/MANUALhost/ombrix.html");
    EXPECT_LT(log_index("text Label1=Checking /MANUALhost/ombrix.html for Ombrix updates. "), tp.window.log.size());
}

TEST_F(StartUp, EverySwitchOccurrenceIsRemoved)
{
    // The check that follows may end the program on its own; start-up's part is done by then.
    load("/manualhost/ombrix.html/manual /updated/skip_down");
    EXPECT_TRUE(context.session.manual_run);
    EXPECT_TRUE(context.session.updated_run);
    EXPECT_TRUE(context.session.skip_download);
    EXPECT_EQ(context.session.site, "host/ombrix.html");
}

TEST_F(StartUp, WithoutAPageAddressItWaitsForCheckWithTheDefaultSite)
{
    EXPECT_FALSE(load("/manual"));
    EXPECT_EQ(context.session.site, default_page);
    EXPECT_EQ(context.session.exe_address, default_page);
    EXPECT_EQ(tp.window.text(Control::OmWebsite), default_page);
    EXPECT_EQ(tp.window.text(Control::Label1), "Check " + default_page + " for Ombrix updates. ");
    EXPECT_EQ(log_index("text Label1=Checking " + default_page + " for Ombrix updates. "), tp.window.log.size());
    EXPECT_TRUE(tp.window.shown());
    EXPECT_FALSE(tp.window.entries("on_top").empty());
    // A text with blanks but no "html" is no address either.
    EXPECT_FALSE(load("host/page.htm"));
    EXPECT_EQ(context.session.site, default_page);
}

TEST_F(StartUp, UpdatedRunChecksBeforeTheWindowShowsAndNeverPutsItOnTop)
{
    // The check may end the program by itself (a failed check of an updated run).
    const bool ended = load("/updated host/ombrix.html");
    EXPECT_TRUE(context.session.updated_run);
    const std::size_t checking = log_index("text Label1=Checking host/ombrix.html for Ombrix updates. ");
    ASSERT_LT(checking, tp.window.log.size());
    EXPECT_GT(log_index("show"), checking);
    EXPECT_TRUE(tp.window.entries("on_top").empty());
    EXPECT_EQ(tp.window.shown(), !ended);
    // Updated without an address: still never on top.
    tp.window.log.clear();
    EXPECT_FALSE(load("/updated"));
    EXPECT_TRUE(tp.window.entries("on_top").empty());
    EXPECT_TRUE(tp.window.shown());
}

TEST_F(StartUp, OfflineEndsSilentlyOrShowsTheErrorForTwoSecondsWhenManual)
{
    tp.network.online = false;
    test::CapturedLog log;
    EXPECT_TRUE(load("host/ombrix.html"));
    EXPECT_TRUE(log.has("End: no Internet connection")) << log.text();
    EXPECT_FALSE(tp.window.shown());
    EXPECT_EQ(tp.window.waited_ms, 0);
    EXPECT_TRUE(tp.window.entries("text Label1=Internet").empty());

    tp.window.set_top(4000);
    EXPECT_TRUE(load("/manual host/ombrix.html"));
    EXPECT_TRUE(tp.window.shown());
    EXPECT_EQ(tp.window.top(), 1000);
    EXPECT_EQ(tp.window.text(Control::Label1), "Internet Connection Error!");
    EXPECT_GE(tp.window.waited_ms, 2000);
    EXPECT_LT(tp.window.waited_ms, 2100);
    EXPECT_TRUE(tp.window.entries("text Label1=Checking").empty());
}

TEST_F(StartUp, MissingRegistryAndShortProductVersionAreSkipped)
{
    tp.registry.set_text(app_key_path, "ProductVersion", "2");
    EXPECT_FALSE(load("/manual"));
    EXPECT_EQ(context.session.uninstall_msi_path, "");

    tp.registry.keys.clear();
    context.session = Session{};
    EXPECT_FALSE(load("/manual"));
    EXPECT_EQ(context.session.install_dir, "");
    EXPECT_EQ(context.session.installed_version, "0.0.0");
    EXPECT_TRUE(tp.window.shown());
}

TEST_F(StartUp, OtherProgramNameRunsInPlaceWithTheDesignTitle)
{
    EXPECT_FALSE(load("/manual", "C:\\tools\\updater.exe"));
    EXPECT_TRUE(tp.processes.starts.empty());
    EXPECT_EQ(tp.window.title(), "Ombrix Updater");
}

TEST_F(StartUp, RunningCopyKeepsItsOwnFileButAStaleCopyIsDeleted)
{
    tp.files.files[install + "om_updater_now.exe"] = {'M', 'Z', 1};
    load("/manual");
    EXPECT_TRUE(tp.files.file_exists(install + "om_updater_now.exe"));
    load("/manual", "C:\\tools\\updater.exe");
    EXPECT_FALSE(tp.files.file_exists(install + "om_updater_now.exe"));
}

TEST(StartUpHelpers, NamesAndTitle)
{
    EXPECT_EQ(program_base_name("C:\\Ombrix\\OM_UPDAT.EXE"), "om_updat");
    EXPECT_EQ(program_base_name("/opt/om.x/om_updater_now.exe"), "om_updater_now");
    EXPECT_EQ(program_base_name("om_updat"), "om_updat");
    EXPECT_EQ(running_copy_title({1, 4, 12}), "Ombrix Web Updater [v. 1.4.12 U]");
}

} // namespace
} // namespace om::test
