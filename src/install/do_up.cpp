#include "install/do_up.hpp"

#include "app/context.hpp"
#include "app/window_layout.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "download/package_signature.hpp"
#include "install/command_lines.hpp"
#include "install/shell_and_wait.hpp"
#include "state/file_versions.hpp"

#include <cstdint>

namespace om {

namespace {

using platform::Control;

// Between two tests of a polling wait the window takes its events (the user can still end the program
// with Cancel or by closing the window) instead of spinning.
constexpr int poll_interval_ms = 50;
// How long a polling wait goes on after the program it waits for has ended (every uninstall, install
// and unpack is waited for), before it says that the file did not come or go and ends the program.
constexpr std::int64_t wait_limit_ms = 60'000;

// do_up skips every step that fails and goes on with the next (ending the program still ends it).
class Installation {
public:
    explicit Installation(Context& context)
        : context_(context), s_(context.session), files_(context.platform.files), window_(context.platform.window),
          main_exe_(s_.install_dir + "ombrix32.exe")
    {
    }

    void common_beginning()
    {
        pump();
        step([&] { window_.set_visible(Control::OmWebsite, false); });
        status(s_.install_dir);
        pump();
        int top = 0;
        step([&] { top = window_.top(); });
        pump();
        step([&] { window_.set_top(top - layout::move_up); });
        pump(2);
        enter(s_.install_dir, true);
        step([&] { old_version_ = text::remove_all(GetFileVersionData(context_, main_exe_), " "); });
        enter(s_.install_dir + "om_msi", true);
    }

    // Path A: full installer, then the quick update over it.
    [[noreturn]] void full_and_quick()
    {
        delete_main_exe();
        status("Uninstalling Ombrix v" + old_version_);
        pump();
        enter(s_.install_dir + "om_msi", true);
        uninstall();
        status("Success!");
        pump();
        install_full_version();
        enter(s_.install_dir, true);
        unpack_quick_update();
        finish();
    }

    // Path B: full installer only.
    [[noreturn]] void full_only()
    {
        delete_main_exe();
        enter(s_.install_dir + "om_msi", true);
        status("Uninstalling Ombrix v" + old_version_);
        uninstall();
        status("Success!");
        pump();
        install_full_version();
        enter(s_.install_dir, false);
        finish();
    }

    // Path C: quick update only.
    [[noreturn]] void quick_only()
    {
        delete_main_exe();
        enter(s_.install_dir, true);
        unpack_quick_update();
        finish();
    }

private:
    template <class Step> void step(Step&& action) { run_step(std::forward<Step>(action)); }

    void pump(int times = 1)
    {
        for (int i = 0; i < times; ++i)
            step([&] { context_.yield(); });
    }

    void status(const std::string& text)
    {
        step([&] { window_.set_text(Control::Info, text); });
    }

    // Current folder := folder. Pump. [info := the current folder. Pump.]
    void enter(const std::string& folder, bool show_folder)
    {
        step([&] { files_.set_current_folder(folder); });
        pump();
        if (show_folder) {
            step([&] { status(files_.current_folder()); });
            pump();
        }
    }

    // The main executable is the completion signal: gone after the uninstall, back after an install.
    void delete_main_exe()
    {
        step([&] { files_.delete_file(main_exe_); });
    }

    void wait_until_gone()
    {
        if (!wait_for_main_exe(false))
            give_up("Ombrix v" + old_version_ + " could not be uninstalled: " + main_exe_ + " is still there.");
    }

    void wait_until_present()
    {
        if (!wait_for_main_exe(true))
            give_up("The installation did not finish: " + main_exe_ + " was not written.");
    }

    // False when the limit passed first.
    bool wait_for_main_exe(bool present)
    {
        auto& clock = context_.platform.clock;
        const std::int64_t start = clock.monotonic_ms();
        while (files_.file_exists(main_exe_) != present) {
            if (clock.monotonic_ms() - start >= wait_limit_ms)
                return false;
            window_.wait_events(poll_interval_ms);
        }
        return true;
    }

    // A wait that will not end any more: say so instead of waiting silently for ever, then end.
    [[noreturn]] void give_up(const std::string& why)
    {
        step([&] { window_.message_box(why); });
        context_.end_program();
    }

    void launch(const std::string& command_line, int window_style)
    {
        step([&] { s_.result_code = ShellAndWait(context_, command_line, window_style); });
    }

    void uninstall()
    {
        launch("msiexec /uninstall " + s_.uninstall_msi_path + " /passive", platform::sw_normal);
        pump();
        wait_until_gone();
    }

    void install_full_version()
    {
        enter(s_.install_dir + "om_msi", true);
        status("Installing " + s_.msi_package_name);
        pump();
        launch("msiexec /package " + s_.msi_package_name + " /passive DISABLEADVTSHORTCUTS=TRUE", platform::sw_normal);
        pump();
        wait_until_present();
    }

    void unpack_quick_update()
    {
        status("Installing " + s_.exe_package_name);
        pump();
        launch(unpack_command(s_.install_dir + s_.exe_package_name), platform::sw_min_no_activate);
        pump(3);
        wait_until_present();
    }

    // Records the versions, restarts the application minimized and ends.
    [[noreturn]] void finish()
    {
        status("Success!");
        step([&] { do_reg(context_); });
        pump();
        step([&] {
            s_.result_code = static_cast<std::int32_t>(
                context_.platform.processes.start(quoted_program(main_exe_), platform::sw_minimized));
        });
        context_.end_program();
    }

    Context& context_;
    Session& s_;
    platform::FileSystem& files_;
    platform::Window& window_;
    const std::string main_exe_;
    std::string old_version_;
};

} // namespace

void do_up(Context& context)
{
    Installation installation(context);
    installation.common_beginning();
    const Session& s = context.session;
    // Every package of the path must be authentic before the first change (the main executable's deletion).
    if (s.msi_available)
        verify_package_signature(context, s.install_dir + "om_msi\\" + s.msi_package_name, s.msi_package_name);
    if (s.exe_available)
        verify_package_signature(context, s.install_dir + s.exe_package_name, s.exe_package_name);
    if (s.msi_available && s.exe_available)
        installation.full_and_quick();
    if (s.msi_available)
        installation.full_only();
    if (s.exe_available)
        installation.quick_only();
}

} // namespace om
