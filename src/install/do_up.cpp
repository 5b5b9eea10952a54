#include "install/do_up.hpp"

#include "app/context.hpp"
#include "app/window_layout.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "download/package_signature.hpp"
#include "install/command_lines.hpp"
#include "install/package_checks.hpp"
#include "install/shell_and_wait.hpp"
#include "state/file_versions.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>

namespace om {

namespace {

using platform::Control;

// Between two tests of a polling wait the window takes its events (the user can still end the program
// with Cancel or by closing the window) instead of spinning.
constexpr int poll_interval_ms = 50;
// How long a polling wait goes on after the program it waits for has ended (every uninstall, install
// and unpack is waited for), before it says that the file did not come or go and ends the program.
constexpr std::int64_t wait_limit_ms = 60'000;
// Windows Installer's exit codes that decide the next step.
constexpr std::int32_t msi_reboot_initiated = 1641;
constexpr std::int32_t msi_busy = 1618;            // another installation is in progress
constexpr std::int32_t msi_unknown_product = 1605; // (uninstall) that product is not installed
constexpr std::int32_t msi_reboot_required = 3010;
constexpr std::int64_t busy_first_delay_ms = 5'000;
constexpr std::int64_t busy_limit_ms = 5 * 60'000;

// Done, perhaps with Windows to be restarted afterwards.
bool msi_succeeded(std::int32_t code)
{
    return code == 0 || code == msi_reboot_required || code == msi_reboot_initiated;
}

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
        check_packages(context_, {offered_installer(), old_installer(), quick_update()});
        move_main_exe_aside();
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
        check_packages(context_, {offered_installer(), old_installer()});
        move_main_exe_aside();
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
        check_packages(context_, {quick_update()});
        move_main_exe_aside();
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
        status_ = text;
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

    // The packages a path runs; the ones this run fetched are removed again when refused.
    Package offered_installer() const
    {
        return {Package::Kind::offered_installer, s_.install_dir + "om_msi\\" + s_.msi_package_name, !s_.skip_download};
    }
    Package old_installer() const { return {Package::Kind::old_installer, old_installer_path(), false}; }
    Package quick_update() const
    {
        return {Package::Kind::program, s_.install_dir + s_.exe_package_name, !s_.skip_download};
    }
    std::string old_installer_path() const { return text::remove_all(s_.uninstall_msi_path, "\""); }

    // The main executable is the completion signal: gone after the uninstall, back after an install. It
    // is kept aside until the path has succeeded, so that a failed step can put it back.
    void move_main_exe_aside()
    {
        step([&] {
            if (files_.file_exists(main_exe_)) {
                files_.delete_file(previous_exe_);
                files_.rename_file(main_exe_, previous_exe_);
            }
        });
    }

    // After a failed step: the executable kept aside is the application again.
    void put_main_exe_back()
    {
        step([&] {
            if (!files_.file_exists(previous_exe_))
                return;
            files_.delete_file(main_exe_);
            files_.rename_file(previous_exe_, main_exe_);
            log::line("put " + previous_exe_ + " back as " + main_exe_);
        });
    }

    void discard_previous_exe()
    {
        step([&] { files_.delete_file(previous_exe_); });
    }

    void wait_until_gone()
    {
        if (!wait_for_main_exe(false)) {
            put_main_exe_back();
            give_up(old_name() + " could not be uninstalled: " + main_exe_ + " is still there.");
        }
    }

    void wait_until_present()
    {
        if (!wait_for_main_exe(true)) {
            put_main_exe_back();
            give_up("The installation did not finish: " + main_exe_ + " was not written.");
        }
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

    // A step that failed: tell the user, start the application again and end; the registry keeps the
    // marks of a run that did not finish.
    [[noreturn]] void give_up(const std::string& why)
    {
        log::line("installation failed: " + why);
        step([&] { window_.message_box(log::with_path(why)); });
        if (files_.file_exists(main_exe_))
            step([&] { s_.result_code = start_application(context_); });
        context_.end_program();
    }

    // Runs one program and gives its exit code; nothing when it could not be started.
    std::optional<std::int32_t> launch(const std::string& command_line, int window_style)
    {
        std::optional<std::int32_t> code;
        step([&] { code = s_.result_code = ShellAndWait(context_, command_line, window_style); });
        return code;
    }

    // A Windows Installer run. While another installation is in progress (1618) the same command is run
    // again, after 5 s and then twice as long each time, until 5 minutes have passed.
    std::optional<std::int32_t> run_msiexec(const std::string& command_line)
    {
        auto& clock = context_.platform.clock;
        const std::int64_t start = clock.monotonic_ms();
        std::int64_t delay_ms = busy_first_delay_ms;
        for (;;) {
            const auto code = launch(command_line, platform::sw_normal);
            pump();
            const std::int64_t left_ms = busy_limit_ms - (clock.monotonic_ms() - start);
            if (code != msi_busy || left_ms <= 0)
                return code;
            const std::string resumed = status_;
            status("Another installation is in progress. Waiting for it to finish...");
            wait_responsively(std::min(delay_ms, left_ms));
            delay_ms *= 2;
            status(resumed);
        }
    }

    // The window keeps taking its events (Cancel still ends the program).
    void wait_responsively(std::int64_t milliseconds)
    {
        auto& clock = context_.platform.clock;
        const std::int64_t start = clock.monotonic_ms();
        while (clock.monotonic_ms() - start < milliseconds)
            window_.wait_events(poll_interval_ms);
    }

    static std::string outcome(const std::string& program, std::optional<std::int32_t> code)
    {
        return code ? program + " ended with code " + std::to_string(*code) : program + " could not be started";
    }

    std::string old_name() const
    {
        return old_version_.empty() ? "The present version of Ombrix" : "Ombrix v" + old_version_;
    }

    void uninstall()
    {
        const auto code = run_msiexec("msiexec /uninstall " + s_.uninstall_msi_path + " /passive");
        // 1605: the present version is not installed with Windows Installer; nothing to remove.
        if (!code || (!msi_succeeded(*code) && *code != msi_unknown_product)) {
            put_main_exe_back();
            give_up(old_name() + " could not be uninstalled (" + outcome("msiexec", code) + "). Nothing was changed.");
        }
        wait_until_gone();
    }

    void install_full_version()
    {
        enter(s_.install_dir + "om_msi", true);
        status("Installing " + s_.msi_package_name);
        pump();
        const auto code =
            run_msiexec("msiexec /package " + s_.msi_package_name + " /passive DISABLEADVTSHORTCUTS=TRUE");
        if (!code || !msi_succeeded(*code))
            roll_back(code);
        restart_needed_ = restart_needed_ || *code != 0;
        wait_until_present();
    }

    // The new version failed after the old one was uninstalled: install the old one again.
    [[noreturn]] void roll_back(std::optional<std::int32_t> failed_code)
    {
        const std::string failure = "Ombrix v" + offered_version(context_) + " could not be installed (" +
                                    outcome("msiexec", failed_code) + ").";
        log::line("installation failed: " + failure + " Installing " + old_installer_path() + " again");
        status("Installing " + old_name() + " again");
        pump();
        const auto code =
            run_msiexec("msiexec /package " + s_.uninstall_msi_path + " /passive DISABLEADVTSHORTCUTS=TRUE");
        if (!code || !msi_succeeded(*code)) {
            put_main_exe_back();
            give_up(failure + "\nPutting " + old_name() + " back failed too (" + outcome("msiexec", code) +
                    "). To restore it, run " + old_installer_path());
        }
        if (wait_for_main_exe(true))
            discard_previous_exe();
        else
            put_main_exe_back();
        give_up(failure + "\n" + old_name() + " has been installed again.");
    }

    void unpack_quick_update()
    {
        status("Installing " + s_.exe_package_name);
        pump();
        const auto code = launch(unpack_command(s_.install_dir + s_.exe_package_name), platform::sw_min_no_activate);
        pump(3);
        if (code != 0) {
            // Over a freshly installed full version the new executable stays; alone, the old one returns.
            if (!s_.msi_available)
                put_main_exe_back();
            discard_previous_exe();
            give_up(s_.exe_package_name + " could not be installed (" + outcome(s_.exe_package_name, code) + ").");
        }
        wait_until_present();
    }

    // Records the versions, restarts the application minimized and ends.
    [[noreturn]] void finish()
    {
        status("Success!");
        discard_previous_exe();
        step([&] { do_reg(context_); });
        pump();
        step([&] { s_.result_code = start_application(context_); });
        if (restart_needed_)
            step([&] {
                window_.message_box("Windows must be restarted to finish installing Ombrix v" +
                                    offered_version(context_) + ".");
            });
        context_.end_program();
    }

    Context& context_;
    Session& s_;
    platform::FileSystem& files_;
    platform::Window& window_;
    const std::string main_exe_;
    const std::string previous_exe_ = main_exe_ + ".previous";
    std::string old_version_;
    std::string status_;
    bool restart_needed_ = false; // an installer asked for Windows to be restarted
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
