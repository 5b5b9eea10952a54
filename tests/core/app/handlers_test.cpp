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
    tp.window.set_height(4680);
    tp.window.set_progress_value(55);
    bool disabled_during_check = false;
    tp.window.on_yield = [&] { disabled_during_check |= !tp.window.enabled(Control::CheckNow0); };
    ends([&] { tp.window.press(0); });

    EXPECT_EQ(tp.window.height(), 2805);
    EXPECT_TRUE(disabled_during_check);
    EXPECT_TRUE(tp.window.enabled(Control::CheckNow0));
    EXPECT_FALSE(tp.window.entries("text Label1=Check  for Ombrix updates. ").empty());
    EXPECT_EQ(tp.window.progress_value(), 0);
}

TEST_F(Handlers, EveryKeystrokeUpdatesSiteAddressAndLabel)
{
    tp.window.type("h");
    EXPECT_EQ(context.session.site, "h");
    EXPECT_EQ(context.session.exe_address, "h");
    EXPECT_EQ(tp.window.text(Control::Label1), "Check h for Ombrix updates. ");
    tp.window.type("o");
    EXPECT_EQ(context.session.site, "ho");
    EXPECT_EQ(context.session.exe_address, "ho");
    EXPECT_EQ(tp.window.text(Control::Label1), "Check ho for Ombrix updates. ");
    // Assignment from code runs the same handling.
    tp.window.set_text(Control::OmWebsite, "x/ombrix.html");
    EXPECT_EQ(context.session.site, "x/ombrix.html");
}

TEST_F(Handlers, InstallStopsTheFourProgramsInOrderThenWritesBothHistoryValues)
{
    context.session.last_failure_run = "{2.1.4}{2.1.5}";
    tp.registry.set_text(app_key_path, "LastSuccessRun", "old");
    // What the registry holds whenever a later program (download, installer) starts.
    std::vector<std::pair<std::string, std::string>> at_later_starts;
    tp.processes.on_start = [&](const FakeProcesses::Start&) {
        if (tp.processes.starts.size() > 4)
            at_later_starts.emplace_back(tp.registry.text(app_key_path, "LastFailureRun"),
                                         tp.registry.text(app_key_path, "LastSuccessRun"));
    };
    tp.window.click_skip(true);
    EXPECT_TRUE(context.session.skip_download);
    ends([&] { tp.window.press(1); });

    ASSERT_GE(tp.processes.starts.size(), 4u);
    const char* order[] = {"om_tarsel.exe", "quorin.exe", "vistrel.exe", "ombrix32.exe"};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(tp.processes.starts[i].command_line, std::string("taskkill /f /im \"") + order[i] + "\"");
        EXPECT_EQ(tp.processes.starts[i].show_window, 6);
    }
    ASSERT_GE(tp.processes.waits.size(), 4u);
    EXPECT_EQ(tp.processes.waits[0], 1001u);
    EXPECT_EQ(tp.processes.waits[3], 1004u);
    EXPECT_EQ(tp.registry.text(app_key_path, "LastFailureRun"), "{2.1.4}{2.1.5}");
    for (auto& [failure, success] : at_later_starts) {
        EXPECT_EQ(failure, "{2.1.4}{2.1.5}");
        EXPECT_EQ(success, "{2.1.4}{2.1.5}");
    }
}

TEST_F(Handlers, InstallGoesOnWhenTheStopCommandCannotStart)
{
    context.session.last_failure_run = "{1.0.0}";
    tp.processes.missing_programs.insert("taskkill");
    tp.window.click_skip(true);
    tp.window.click_skip(false);
    EXPECT_FALSE(context.session.skip_download);
    ends([&] { tp.window.press(1); });
    EXPECT_TRUE(tp.processes.waits.empty() || tp.processes.waits.front() > 1000);
    EXPECT_EQ(tp.registry.text(app_key_path, "LastFailureRun"), "{1.0.0}");
    EXPECT_EQ(tp.registry.text(app_key_path, "LastSuccessRun"), "{1.0.0}");
}

TEST_F(Handlers, CancelEndsAtOnceAndUnknownIndexOnlyCompactsTheWindow)
{
    tp.window.set_height(4680);
    EXPECT_FALSE(ends([&] { tp.window.press(7); }));
    EXPECT_EQ(tp.window.height(), 2805);
    EXPECT_TRUE(tp.processes.starts.empty());
    EXPECT_TRUE(ends([&] { tp.window.press(2); }));
    EXPECT_EQ(tp.processes.ended, 1);
}

TEST_F(Handlers, CountDownAddsDotsAndKillTimerOrClosingEnds)
{
    tp.window.set_text(Control::Label, "Exiting ");
    for (int i = 0; i < 3; ++i)
        tp.window.tick(Timer::CountDown);
    EXPECT_EQ(tp.window.text(Control::Label), "Exiting ...");
    EXPECT_TRUE(ends([&] { tp.window.close(); }));
    EXPECT_TRUE(ends([&] { tp.window.tick(Timer::KillTimer); }));
    EXPECT_EQ(tp.processes.ended, 2);
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
    int longest = 0;
    // Each yield comes before the clock advances by the wait just asked for.
    std::vector<std::int64_t> times;
    tp.window.on_yield = [&] { times.push_back(clock.monotonic); };
    const float two = 2.0F;
    const std::int64_t start = clock.monotonic;
    do_wait(context, two);

    EXPECT_GE(clock.monotonic - start, 2000);
    EXPECT_LT(clock.monotonic - start, 2050);
    EXPECT_EQ(clock.wall_reads, 0);
    ASSERT_GE(times.size(), 40u); // it waited for events in steps, not in one block
    for (std::size_t i = 1; i < times.size(); ++i)
        longest = std::max<int>(longest, static_cast<int>(times[i] - times[i - 1]));
    EXPECT_LE(longest, 50);
    EXPECT_EQ(tp.window.yields, static_cast<int>(times.size()));

    const int yields = tp.window.yields;
    do_wait(context, 0.0F);
    do_wait(context, -1.0F);
    EXPECT_EQ(tp.window.yields, yields);
    EXPECT_EQ(two, 2.0F);
}

} // namespace
} // namespace om::test
