// The handlers of om_update's buttons, field, check box, timers and do_wait.
#include "app/do_wait.hpp"
#include "app/om_update.hpp"
#include "state/crash_detector.hpp"
#include "support/captured_log.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om::test {
namespace {

using platform::Control;

struct Handlers : ::testing::Test {
    TestPlatform tp;
    platform::Platform services = tp.services();
    Context context{services};
    OmUpdate app{context};

    Handlers()
    {
        tp.window.set_handler(&app);
        tp.registry.add_key(app_key_path);
    }
};

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
