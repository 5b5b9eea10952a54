// The handlers of om_update's buttons, field, check box, timers and do_wait.
#include "app/do_wait.hpp"
#include "app/om_update.hpp"
#include "state/crash_detector.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om::test {
namespace {

using platform::Control;
using platform::Timer;

class Handlers : public ::testing::Test {
protected:
    TestPlatform tp;
    platform::Platform services = tp.services();
    Context context{services};
    OmUpdate app{context};

    void SetUp() override
    {
        tp.window.set_handler(&app);
        tp.registry.add_key(app_key_path);
        tp.window.set_height(4680);
    }
    // Runs an action; true when it ended the program.
    template <class Action> bool ends(Action action)
    {
        try {
            action();
            return false;
        } catch (const ProgramEnded&) {
            return true;
        }
    }
};

TEST_F(Handlers, CheckWithAnEmptyFieldSaysTwoBlanksAndGivesTheButtonBack)
{
    tp.window.set_progress_value(55);
    bool disabled_during_check = false;
    tp.window.on_yield = [&] { disabled_during_check |= !tp.window.enabled(Control::CheckNow0); };
    ends([&] { app.on_check_now(0); });
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

TEST_F(Handlers, InstallStopsTheFourProgramsInOrderThenWritesBothHistoryValues)
{
    for (const bool can_stop : {true, false}) {
        TestPlatform tp;
        platform::Platform services = tp.services();
        Context context{services};
        OmUpdate app{context};
        tp.registry.add_key(app_key_path);
        tp.registry.set_text(app_key_path, "LastSuccessRun", "old");
        context.session.last_failure_run = "{2.1.4}{2.1.5}";
        if (!can_stop)
            tp.processes.missing_programs.insert("taskkill");
        // What the registry holds whenever a later program (download, installer) starts.
        std::string at_later_starts;
        tp.processes.on_start = [&](const FakeProcesses::Start& start) {
            if (!start.command_line.starts_with("taskkill"))
                at_later_starts += tp.registry.text(app_key_path, "LastFailureRun") + "|" +
                                   tp.registry.text(app_key_path, "LastSuccessRun") + "\n";
        };
        app.on_skip_click(true);
        app.on_skip_click(can_stop); // the last click counts: the package on disk or a download
        EXPECT_EQ(context.session.skip_download, can_stop);
        ends([&] { app.on_check_now(1); });

        std::string stops;
        for (const auto& start : tp.processes.starts)
            if (start.command_line.starts_with("taskkill"))
                stops += start.command_line + " " + std::to_string(start.show_window) + "\n";
        EXPECT_EQ(stops, can_stop ? "taskkill /f /im \"om_tarsel.exe\" 6\ntaskkill /f /im \"quorin.exe\" 6\n"
                                    "taskkill /f /im \"vistrel.exe\" 6\ntaskkill /f /im \"ombrix32.exe\" 6\n"
                                  : "");
        if (can_stop) {
            ASSERT_GE(tp.processes.waits.size(), 4u);
            EXPECT_EQ(std::vector(tp.processes.waits.begin(), tp.processes.waits.begin() + 4),
                      (std::vector<std::uint32_t>{1001, 1002, 1003, 1004}));
        }
        EXPECT_EQ(tp.registry.text(app_key_path, "LastFailureRun"), "{2.1.4}{2.1.5}");
        EXPECT_EQ(tp.registry.text(app_key_path, "LastSuccessRun"), "{2.1.4}{2.1.5}");
        EXPECT_EQ(at_later_starts.find("old"), std::string::npos) << at_later_starts;
    }
}

TEST_F(Handlers, CancelTimerAndClosingEndUnknownButtonOnlyCompactsCountDownAddsDots)
{
    EXPECT_FALSE(ends([&] { app.on_check_now(7); }));
    EXPECT_EQ(tp.window.height(), 2805);
    EXPECT_TRUE(tp.processes.starts.empty());
    tp.window.set_text(Control::Label, "Exiting ");
    for (int i = 0; i < 3; ++i)
        app.on_timer(Timer::CountDown);
    EXPECT_EQ(tp.window.text(Control::Label), "Exiting ...");
    EXPECT_EQ(tp.processes.ended, 0);
    EXPECT_TRUE(ends([&] { app.on_check_now(2); }));
    EXPECT_TRUE(ends([&] { app.on_unload(); }));
    EXPECT_TRUE(ends([&] { app.on_timer(Timer::KillTimer); }));
    EXPECT_EQ(tp.processes.ended, 3);
}

// A clock whose wall time passes midnight during the wait; do_wait must not look at it.
class MidnightClock : public FakeClock {
public:
    int wall_reads = 0;
    platform::WallTime local_now() override
    {
        ++wall_reads;
        return wall;
    }
};

TEST(DoWait, WaitsElapsedTimeInShortWindowWaitsAcrossMidnight)
{
    TestPlatform tp;
    MidnightClock clock;
    clock.wall = {2026, 12, 31, 23, 59, 59};
    tp.window.clock = &clock;
    platform::Platform services{tp.registry, tp.versions, tp.files, tp.processes, clock,
                                tp.network,  tp.window,   *tp.http, *tp.ftp,      tp.packages};
    Context context{services};
    // Each yield comes before the clock advances by the wait just asked for.
    std::vector<std::int64_t> times;
    tp.window.on_yield = [&] { times.push_back(clock.monotonic); };
    const std::int64_t start = clock.monotonic;
    do_wait(context, 2.0F);
    EXPECT_GE(clock.monotonic - start, 2000);
    EXPECT_LT(clock.monotonic - start, 2050);
    EXPECT_EQ(clock.wall_reads, 0);
    ASSERT_GE(times.size(), 40u); // it waited for events in steps, not in one block
    for (std::size_t i = 1; i < times.size(); ++i)
        EXPECT_LE(times[i] - times[i - 1], 50);
    const int yields = tp.window.yields;
    do_wait(context, 0.0F);
    do_wait(context, -1.0F);
    EXPECT_EQ(tp.window.yields, yields);
}

} // namespace
} // namespace om::test
