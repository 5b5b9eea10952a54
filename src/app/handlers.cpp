// The handlers of om_update's controls and timers.
#include "app/context.hpp"
#include "app/om_update.hpp"
#include "app/window_layout.hpp"
#include "common/regimes.hpp"
#include "download/download_files.hpp"
#include "install/do_up.hpp"
#include "install/shell_and_wait.hpp"
#include "release/get_new_version.hpp"
#include "state/crash_detector.hpp"

#include <array>

namespace om {

using platform::Control;

namespace {

// The application's programs, stopped in this order before an installation.
constexpr std::array<const char*, 4> programs_to_stop{"om_tarsel.exe", "quorin.exe", "vistrel.exe", "ombrix32.exe"};

} // namespace

void OmUpdate::on_check_now(int index)
{
    auto& window = context_.platform.window;
    Session& s = context_.session;

    window.set_height(layout::compact_height);
    context_.yield();

    switch (index) {
    case 0:
        window.set_enabled(Control::CheckNow0, false);
        context_.yield();
        window.set_text(Control::Label1, "Check " + window.text(Control::OmWebsite) + " for Ombrix updates. ");
        window.set_progress_value(0);
        context_.yield();
        // A check that fails still gives "Check" back to the user.
        run_step([&] { get_new_version(context_); });
        window.set_enabled(Control::CheckNow0, true);
        break;
    case 1: {
        for (const char* program : programs_to_stop) {
            const std::string command = std::string("taskkill /f /im \"") + program + "\"";
            // A stop command that cannot be started does not keep the installation from going on.
            run_step([&] { s.result_code = ShellAndWait(context_, command, platform::sw_min_no_activate); });
        }
        context_.yield();
        write_last_failure_run(context_.platform.registry, s.last_failure_run);
        write_last_success_run(context_.platform.registry, s.last_failure_run);
        if (s.skip_download)
            do_up(context_);
        else
            download_files(context_);
        break;
    }
    case 2:
        context_.yield();
        context_.end_program("the user pressed Cancel (or Exit)");
    default:
        break;
    }
}

void OmUpdate::on_skip_click(bool checked)
{
    context_.session.skip_download = checked;
}

void OmUpdate::on_website_change()
{
    auto& window = context_.platform.window;
    Session& s = context_.session;
    s.site = window.text(Control::OmWebsite);
    s.exe_address = s.site;
    window.set_text(Control::Label1, "Check " + s.site + " for Ombrix updates. ");
}

void OmUpdate::on_timer(platform::Timer timer)
{
    auto& window = context_.platform.window;
    if (timer == platform::Timer::CountDown) {
        window.set_text(Control::Label, window.text(Control::Label) + ".");
        return;
    }
    context_.end_program("the exit count-down ran out");
}

void OmUpdate::on_unload()
{
    context_.end_program("the user closed the window");
}

} // namespace om
