// The window om_update: its start-up and the handlers of its buttons, field, check box and timers, and
// do_wait, driven through the scripted window and in-memory services.
#include "app/do_wait.hpp"
#include "app/om_update.hpp"
#include "state/crash_detector.hpp"
#include "support/captured_log.hpp"
#include "support/test_platform.hpp"

#include <algorithm>
#include <gtest/gtest.h>

namespace om::test {
namespace {

using platform::Control;

const std::string install = "C:\\Ombrix\\", copy = install + "om_updater_now.exe", updater = install + "om_updat.exe";
const std::string default_page = std::string(OM_DEFAULT_SITE_HOST) + "/ombrix.html";

// An installation in C:\Ombrix\ with 2.1.5 recorded and the updater in place.
struct Launch {
    TestPlatform tp;
    platform::Platform services = tp.services();
    Context context{services};
    Session& s = context.session;
    OmUpdate app{context};

    Launch()
    {
        tp.window.set_handler(&app);
        tp.registry.set_text(app_key_path, "exepath", install);
        tp.registry.set_text(app_key_path, "ProductVersion", "2.1.5.0");
        tp.files.folders.insert("C:\\Ombrix");
        tp.files.files[updater] = {'M', 'Z', 1};
    }
    // Runs the load handler; true when it ended the program.
    bool load(const std::string& command_line, const std::string& exe = copy)
    {
        tp.processes.command_line = command_line;
        tp.processes.exe_path = exe;
        return ends_program([&] { app.load(); });
    }
    // Where an entry first is in the window's log; the log's size when it is not there.
    std::size_t at(const std::string& entry) const
    {
        return static_cast<std::size_t>(std::find(tp.window.log.begin(), tp.window.log.end(), entry) -
                                        tp.window.log.begin());
    }
};
struct StartUp : ::testing::Test, Launch {};
using Handlers = StartUp;

// The switches are taken out wherever they are, in their own letter case, and the blanks with them; a
// text naming "html" is the page to check at once, anything else waits for "Check" with the default page.
// Only an updated run keeps the window from being put on top, and shows it only after the check.
TEST(StartUpSwitches, CommandLineDecidesTheSwitchesThePageAndWhetherItChecksAtOnce)
{
    struct Case {
        std::string command;
        bool skip, manual, updated;
        std::string site;
        bool checks;
    } cases[] = {
        {"/skip_down /manual host/ombrix.html", true, true, false, "host/ombrix.html", true},
        {"/MANUAL host/ombrix.html", false, false, false, "/MANUALhost/ombrix.html", true},
        {"/manualhost/ombrix.html/manual /updated/skip_down", true, true, true, "host/ombrix.html", true},
        {"/updated host/ombrix.html", false, false, true, "host/ombrix.html", true},
        {"/manual", false, true, false, default_page, false},
        {"host/page.htm", false, false, false, default_page, false},
        {"/updated", false, false, true, default_page, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        Launch t;
        const bool ended = t.load(c.command); // a check may end the program on its own
        EXPECT_EQ(t.s.skip_download, c.skip);
        EXPECT_EQ(t.s.manual_run, c.manual);
        EXPECT_EQ(t.s.updated_run, c.updated);
        EXPECT_EQ(t.s.exe_address, c.site);
        EXPECT_EQ(t.tp.window.text(Control::OmWebsite), c.site);
        for (const std::string control : {"om_website", "CheckNow0", "CheckNow2"})
            EXPECT_EQ(t.tp.window.entries("visible " + control + "=1").size(), 1u); // shown either way
        const std::size_t checking = t.at("text Label1=Checking " + c.site + " for Ombrix updates. ");
        EXPECT_EQ(checking < t.tp.window.log.size(), c.checks);
        EXPECT_EQ(t.tp.window.entries("on_top").empty(), c.updated);
        EXPECT_EQ(t.at("show") > checking, c.updated && c.checks);
        EXPECT_EQ(t.tp.window.shown(), !ended);
        EXPECT_EQ(t.at("text Label1=Check " + default_page + " for Ombrix updates. ") < t.tp.window.log.size(),
                  !c.checks);
    }
}

TEST_F(StartUp, RunningCopyTakesTheTitleRestoresTheStateAndShowsThePageThroughTheField)
{
    CapturedLog log;
    tp.files.files[copy] = {'M', 'Z', 1};
    load("/manual host/ombrix.html");
    EXPECT_TRUE(log.has("Start: updater 15.0.1, command line \"/manual host/ombrix.html\", install_dir "
                        "\"C:\\Ombrix\\\", running as the copy om_updater_now"))
        << log.text();
    EXPECT_EQ(s.uninstall_msi_path, "\"C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi\"");
    EXPECT_EQ(tp.window.title(), "Ombrix Web Updater [v. 15.0.1 U]");
    EXPECT_EQ(tp.window.height(), 2805);
    EXPECT_EQ(tp.files.current, "C:\\Ombrix");
    EXPECT_TRUE(tp.files.file_exists(copy)); // the running copy keeps its own file
    // The field went through "Not set!" to the address.
    EXPECT_LT(at("text om_website=Not set!"), at("text om_website=host/ombrix.html"));
    EXPECT_LT(at("on_top"), at("text Label1=Checking host/ombrix.html for Ombrix updates. "));
}

TEST_F(StartUp, InstalledUpdaterRelaunchesItsFreshQuotedCopyWithTheCommandLineAsReceivedAndEnds)
{
    tp.files.files[copy] = {'o', 'l', 'd'};
    ASSERT_TRUE(load(" /skip_down  a b", install + "OM_UPDAT.EXE"));
    ASSERT_EQ(tp.processes.starts.size(), 1u);
    EXPECT_EQ(tp.processes.starts[0].command_line, "\"" + copy + "\"  /skip_down  a b");
    EXPECT_EQ(tp.processes.starts[0].show_window, platform::sw_normal);
    EXPECT_EQ(tp.processes.starts[0].current_folder, "C:\\Ombrix");
    EXPECT_EQ(tp.files.files[copy], tp.files.files[updater]);
    EXPECT_FALSE(tp.window.shown());
    EXPECT_EQ(tp.window.title(), "Ombrix Updater");
    EXPECT_EQ(program_base_name("/opt/om.x/om_updater_now.exe") + program_base_name("om_updat"),
              "om_updater_nowom_updat");
}

// Without the copy the updater runs in place under its own name with the design title.
TEST_F(StartUp, WithoutARunningCopyTheUpdaterRunsInPlace)
{
    tp.files.files.erase(updater); // nothing to copy: the copy never appears
    EXPECT_FALSE(load("/manual", updater));
    EXPECT_EQ(tp.window.waited_ms, copy_wait_limit_ms); // waited in steps, up to the limit and no longer
    tp.files.files[updater] = {'M', 'Z', 1};
    tp.processes.missing_programs.insert("\"" + copy + "\""); // the copy cannot be started
    EXPECT_FALSE(load("", updater));
    tp.files.files[copy] = {'M', 'Z', 1};
    EXPECT_FALSE(load("/manual", "C:\\tools\\updater.exe"));
    EXPECT_FALSE(tp.files.file_exists(copy)); // a stale copy goes
    EXPECT_TRUE(tp.processes.starts.empty());
    EXPECT_EQ(tp.window.title(), "Ombrix Updater");
}

TEST_F(StartUp, OfflineEndsSilentlyOrShowsTheErrorForTwoSecondsWhenManual)
{
    tp.network.online = false;
    CapturedLog log;
    EXPECT_TRUE(load("host/ombrix.html"));
    EXPECT_TRUE(log.has("End: no Internet connection")) << log.text();
    EXPECT_FALSE(tp.window.shown());
    EXPECT_EQ(tp.window.waited_ms, 0);
    tp.window.set_top(4000);
    EXPECT_TRUE(load("/manual host/ombrix.html"));
    EXPECT_TRUE(tp.window.shown());
    EXPECT_EQ(tp.window.top(), 1000);
    EXPECT_EQ(tp.window.text(Control::Label1), "Internet Connection Error!");
    EXPECT_EQ(tp.window.waited_ms, 2000);
}

TEST_F(StartUp, MissingRegistryAndShortProductVersionAreSkipped)
{
    tp.registry.set_text(app_key_path, "ProductVersion", "2");
    EXPECT_FALSE(load("/manual"));
    EXPECT_EQ(s.uninstall_msi_path, "");
    tp.registry.keys.clear();
    s = Session{};
    EXPECT_FALSE(load("/manual"));
    EXPECT_EQ(s.install_dir, "");
    EXPECT_EQ(s.installed_version, "0.0.0");
}

TEST_F(Handlers, CheckWithAnEmptyFieldSaysTwoBlanksAndGivesTheButtonBack)
{
    tp.window.set_progress_value(55);
    bool disabled_during_check = false;
    tp.window.on_yield = [&] { disabled_during_check |= !tp.window.enabled(Control::CheckNow0); };
    ends_program([&] { app.on_check_now(0); });
    EXPECT_EQ(tp.window.height(), 2805);
    EXPECT_TRUE(disabled_during_check);
    EXPECT_TRUE(tp.window.enabled(Control::CheckNow0));
    EXPECT_FALSE(tp.window.entries("text Label1=Check  for Ombrix updates. ").empty());
    EXPECT_EQ(tp.window.progress_value(), 0);
}

TEST_F(Handlers, EveryChangeOfTheFieldUpdatesSiteAddressAndLabel)
{
    for (const std::string site : {"h", "ho", "x/ombrix.html"}) {
        tp.window.set_text(Control::OmWebsite, site);
        EXPECT_EQ(context.session.site + "|" + context.session.exe_address + "|" + tp.window.text(Control::Label1),
                  site + "|" + site + "|Check " + site + " for Ombrix updates. ");
    }
}

// Before the download or the installation starts, the four programs are stopped (a stop command that
// cannot start keeps nothing from going on) and both history values hold the failure history.
TEST_F(Handlers, InstallStopsTheFourProgramsInOrderThenWritesBothHistoryValues)
{
    tp.registry.set_text(app_key_path, "LastSuccessRun", "old");
    context.session.last_failure_run = "{2.1.4}{2.1.5}";
    app.on_skip_click(true);
    ends_program([&] { app.on_check_now(1); });
    std::string stops;
    for (std::size_t i = 0; i < 4 && i < tp.processes.starts.size(); ++i)
        stops += tp.processes.starts[i].command_line + " " + std::to_string(tp.processes.starts[i].show_window) + " " +
                 std::to_string(tp.processes.waits.at(i)) + "\n";
    EXPECT_EQ(stops, "taskkill /f /im \"om_tarsel.exe\" 6 1001\ntaskkill /f /im \"quorin.exe\" 6 1002\n"
                     "taskkill /f /im \"vistrel.exe\" 6 1003\ntaskkill /f /im \"ombrix32.exe\" 6 1004\n");
    for (const char* value : {"LastFailureRun", "LastSuccessRun"})
        EXPECT_EQ(tp.registry.text(app_key_path, value), "{2.1.4}{2.1.5}");

    tp.processes.missing_programs.insert("taskkill");
    context.session.last_failure_run = "{1.0.0}";
    app.on_skip_click(true);
    app.on_skip_click(false); // the last click counts: a download, not the package on disk
    EXPECT_FALSE(context.session.skip_download);
    ends_program([&] { app.on_check_now(1); });
    for (const char* value : {"LastFailureRun", "LastSuccessRun"})
        EXPECT_EQ(tp.registry.text(app_key_path, value), "{1.0.0}");
}

TEST_F(Handlers, CancelTimerAndClosingEndUnknownButtonOnlyCompactsCountDownAddsDots)
{
    EXPECT_FALSE(ends_program([&] { app.on_check_now(7); }));
    EXPECT_EQ(tp.window.height(), 2805);
    EXPECT_TRUE(tp.processes.starts.empty());
    tp.window.set_text(Control::Label, "Exiting ");
    for (int i = 0; i < 3; ++i)
        app.on_timer(platform::Timer::CountDown);
    EXPECT_EQ(tp.window.text(Control::Label), "Exiting ...");
    EXPECT_EQ(tp.processes.ended, 0);
    CapturedLog log;
    EXPECT_TRUE(ends_program([&] { app.on_check_now(2); }));
    EXPECT_TRUE(log.has("End: the user pressed Cancel (or Exit)")) << log.text();
    EXPECT_TRUE(ends_program([&] { app.on_unload(); }));
    EXPECT_TRUE(ends_program([&] { app.on_timer(platform::Timer::KillTimer); }));
    EXPECT_EQ(tp.processes.ended, 3);
}

// The wall clock may pass midnight during the wait: do_wait counts elapsed time and never reads it.
TEST_F(Handlers, DoWaitWaitsElapsedTimeInShortWindowWaits)
{
    do_wait(context, 0.0F);
    EXPECT_EQ(tp.window.yields, 0);
    do_wait(context, 2.0F);
    EXPECT_EQ(tp.window.waited_ms, 2000);
    EXPECT_EQ(tp.window.yields, 40); // it waited for events in steps of 50 ms, not in one block
    EXPECT_EQ(tp.clock.wall_reads, 0);
}

} // namespace
} // namespace om::test
