#include "release/notify.hpp"

#include "app/context.hpp"
#include "app/window_layout.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "download/download_files.hpp"

#include <string>

namespace om {

namespace {

using platform::Control;
using platform::Timer;

const std::string cr = "\r";

const char* yes_no(bool value)
{
    return value ? "yes" : "no";
}

void log_findings(const Session& s)
{
    log::line("Check findings: installed " + s.installed_version + ", page \"" + s.web_msi_version_text +
              "\", quick-update listing \"" + s.web_exe_version_text + "\"; full installer newer: " +
              yes_no(s.msi_available) + ", quick update newer: " + yes_no(s.exe_available) +
              ", support package: " + (s.support_available ? s.support_file : std::string("none")));
}
const std::string congratulations = "Congratulations you have the latest version of Ombrix! The Web version is ";

// download_name := exe_address from "om_exe" through the first ".exe" after it.
void take_download_name(Context& context)
{
    Session& s = context.session;
    const std::size_t n = text::find_pos(s.exe_address, "om_exe");
    if (n == 0)
        return;
    const std::size_t e = text::find_pos(s.exe_address, ".exe", n);
    if (e == 0)
        throw StepFailed("\"om_exe\" without \".exe\"");
    s.download_name = text::mid(s.exe_address, n, e - n + 4);
}

void show_up_to_date(Context& context)
{
    Session& s = context.session;
    auto& window = context.platform.window;
    const auto& web = s.web_version_parts;
    const auto& quick = s.exe_version_parts;
    run_step([&] { window.set_text(Control::CheckNow2, "Exit"); });
    run_step([&] { window.set_text(Control::CheckNow0, "ReCheck"); });
    // The first number is not compared.
    const bool name_page_version = quick[2] <= web[2] || quick[1] < web[1];
    if (name_page_version) {
        run_step([&] { window.set_text(Control::Label1, congratulations + s.web_msi_version_text + " <msi>."); });
        run_step([&] { window.set_height(layout::compact_height); });
    } else {
        run_step([&] { window.set_text(Control::Label1, congratulations + s.web_exe_version_text + " <om_exe>."); });
    }
    run_step([&] { window.set_enabled(Control::CheckNow0, true); });
    run_step([&] { context.yield(); });
    run_step([&] { window.set_visible(Control::Label, true); });
    run_step([&] { context.yield(); });
    run_step([&] { window.enable_timer(Timer::CountDown, true); });
    run_step([&] { context.yield(); });
    run_step([&] { window.enable_timer(Timer::KillTimer, true); });
    run_step([&] { context.yield(); });
}

void show_prompt(Context& context, const std::string& label_text, const std::string& info_text)
{
    auto& window = context.platform.window;
    run_step([&] { window.set_text(Control::CheckNow0, "Re_Check"); });
    run_step([&] { window.set_visible(Control::CheckNow1, true); });
    run_step([&] { window.set_visible(Control::CheckNow2, true); });
    run_step([&] { window.set_visible(Control::OmWebsite, false); });
    run_step([&] { window.set_text(Control::Label1, label_text); });
    run_step([&] { window.set_text(Control::Info, info_text); });
    run_step([&] { context.yield(); });
}

void show_offer(Context& context)
{
    Session& s = context.session;
    auto& window = context.platform.window;
    run_step([&] { window.set_visible(Control::Skip, false); });

    // A quick update older than the full version is dropped (the first number is not compared).
    run_step([&] {
        const auto& web = s.web_version_parts;
        const auto& quick = s.exe_version_parts;
        const bool keep = quick[1] > web[1] || (quick[1] == web[1] && quick[2] >= web[2]);
        if (!keep)
            s.exe_available = false;
    });

    bool support_pending = false;
    run_step([&] {
        support_pending =
            s.support_available && !context.platform.files.file_exists(s.install_dir + s.support_file + ".completed");
    });

    const std::string full_version = "A full version is available:" + cr + "<" + s.msi_address + ">. ";
    const std::string quick_update = "A quickie update (usually for bug fixes or tune-ups) is ";
    const std::string full_offer = "the full installer <" + s.msi_address + "> (\"" + s.web_msi_version_text +
                                   "\" is newer than " + s.installed_version + ")";
    const std::string quick_offer = "the quick update <" + s.download_name + "> (\"" + s.web_exe_version_text + "\")";
    if (support_pending)
        log::line("Decision: offer the support package <" + s.support_file +
                  "> alone (a pending support package goes before any update)");
    else if (s.exe_available && s.msi_available)
        log::line("Decision: offer " + full_offer + " and " + quick_offer);
    else if (s.msi_available)
        log::line("Decision: offer " + full_offer);
    else if (s.exe_available)
        log::line("Decision: offer " + quick_offer);
    else
        log::line("Decision: nothing to offer (the support package is already installed)");
    if (support_pending) {
        show_prompt(context,
                    "A necessary support file is available:" + cr + "<" + s.support_file +
                        ">. Please press INSTALL to download into <" + s.install_dir +
                        "> and restart Ombrix. Update will automatically recheck for updates",
                    "Install automatically?");
    } else if (s.exe_available && s.msi_available) {
        run_step([&] { window.set_visible(Control::Skip, true); });
        show_prompt(context, full_version + cr + quick_update + "also available:" + cr + "<" + s.download_name + ">.",
                    "Install both automatically?");
    } else if (s.msi_available) {
        show_prompt(context, full_version, "Install automatically?");
    } else if (s.exe_available) {
        show_prompt(context, quick_update + "available:" + cr + "<" + s.download_name + ">.", "Install automatically?");
    }
    // Otherwise no prompt applies and the captions keep their earlier state.

    run_step([&] { context.yield(); });
    if (!support_pending)
        run_step([&] { window.set_height(layout::tall_height); });
    run_step([&] { context.yield(); });
    run_step([&] { get_download_filenames(context); });
}

} // namespace

void notify(Context& context)
{
    const Session& s = context.session;
    run_step([&] { take_download_name(context); });
    log_findings(s);
    if (!s.support_available && !s.exe_available && !s.msi_available) {
        log::line("Decision: up to date, nothing offered; the program ends after the exit count-down");
        show_up_to_date(context);
    } else {
        show_offer(context);
    }
}

} // namespace om
