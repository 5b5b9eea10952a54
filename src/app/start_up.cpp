// The load handler of om_update: restores the installation state, relaunches the installed updater as
// its running copy, reads the switches, checks the connection and either checks at once or waits.
#include "app/context.hpp"
#include "app/do_wait.hpp"
#include "app/om_update.hpp"
#include "app/window_layout.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "release/get_new_version.hpp"
#include "state/crash_detector.hpp"
#include "state/file_versions.hpp"

namespace om {

using platform::Control;

namespace {

constexpr const char* default_page = "/ombrix.html";

} // namespace

std::string running_copy_title(const platform::OwnVersion& version)
{
    return "Ombrix Web Updater [v. " + std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
           std::to_string(version.revision) + " U]";
}

std::string version_text(const platform::OwnVersion& version)
{
    return std::to_string(version.major) + "." + std::to_string(version.minor) + "." + std::to_string(version.revision);
}

std::string program_base_name(const std::string& path)
{
    const std::size_t slash = path.find_last_of("\\/");
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const std::size_t dot = name.find_last_of('.');
    if (dot != std::string::npos)
        name.erase(dot);
    return text::to_lower(name);
}

bool take_switch(std::string& text, const std::string& name)
{
    if (!text::contains(text, name))
        return false;
    text = text::remove_all(text, name);
    return true;
}

OmUpdate::OmUpdate(Context& context) : context_(context) {}

void OmUpdate::yield_times(int count)
{
    for (int i = 0; i < count; ++i)
        context_.yield();
}

void OmUpdate::show_in_front()
{
    auto& window = context_.platform.window;
    window.show();
    context_.yield();
    run_step([&] { context_.session.result_code = window.put_on_top(); });
}

void OmUpdate::load()
{
    Session& s = context_.session;
    auto& platform = context_.platform;
    auto& window = platform.window;
    auto& files = platform.files;

    run_step([&] { do_reg(context_); });
    run_step([&] { get_reg(context_); });
    run_step([&] { s.app_record = read_app_record(platform.registry); });
    run_step([&] {
        const std::string& product_version = s.app_record.ProductVersion;
        if (product_version.size() < 2)
            throw StepFailed("ProductVersion too short to cut");
        s.uninstall_msi_path = "\"" + s.app_record.exepath + "om_msi\\ombrix32_v" +
                               product_version.substr(0, product_version.size() - 2) + ".msi\"";
    });
    yield_times(3);

    std::string command_text;
    run_step([&] { command_text = platform.processes.command_line_text(); });
    const std::string received_text = command_text;

    run_step([&] { window.set_height(layout::compact_height); });
    s.exe_listing_path.clear();
    context_.yield();

    s.install_dir = s.app_record.exepath;
    s.default_site = std::string(OM_DEFAULT_SITE_HOST) + default_page;

    run_step([&] { files.set_current_folder(s.install_dir); });
    context_.yield();
    run_step([&] {
        const std::string copy_path = s.install_dir + running_copy_file_name;
        // The running copy keeps its own file: Windows refuses that delete, and where a running program's
        // file can be deleted the copy would lose the file its version is read from.
        if (files.file_exists(copy_path) && !files.same_file(platform.processes.executable_path(), copy_path)) {
            files.delete_file(copy_path);
            context_.yield();
        }
    });
    run_step([&] { files.set_current_folder(s.install_dir); });
    context_.yield();

    std::string base_name;
    run_step([&] { base_name = program_base_name(platform.processes.executable_path()); });
    std::string own_version = "unknown";
    run_step([&] { own_version = version_text(platform.processes.own_version()); });
    log::line("Start: updater " + own_version + ", command line \"" + received_text + "\", install_dir \"" +
              s.install_dir + "\", " +
              (base_name == "om_updater_now" ? "running as the copy om_updater_now"
               : base_name == "om_updat"     ? "started as om_updat, relaunching as the copy"
                                             : "running in place as " + base_name));
    if (base_name == "om_updat") {
        relaunch(received_text);
        // Still here: the copy could not be made or started, so this instance runs in place under its
        // own name and keeps the design title.
        log::line("Start: the copy could not be made or started; running in place as om_updat");
    } else if (base_name == "om_updater_now") {
        run_step([&] { window.set_title(running_copy_title(platform.processes.own_version())); });
    }

    s.updated_run = false;
    s.manual_run = false;
    s.skip_download = false;
    if (take_switch(command_text, "/skip_down"))
        s.skip_download = true;
    if (take_switch(command_text, "/manual"))
        s.manual_run = true;

    bool connected = true;
    run_step([&] { connected = platform.network.connected(); });
    context_.yield();
    if (!connected) {
        if (s.manual_run) {
            run_step([&] {
                window.show();
                window.set_top(window.top() - layout::move_up);
                window.set_text(Control::Label1, "Internet Connection Error!");
            });
            do_wait(context_, 2.0F);
        }
        context_.end_program("no Internet connection");
    }

    if (take_switch(command_text, "/updated"))
        s.updated_run = true;
    command_text = text::remove_all(command_text, " ");

    if (!s.updated_run)
        run_step([&] { show_in_front(); });

    // The release check owns the request object; a platform without HTTP leaves it empty.
    run_step([&] { context_.req = platform.http.create_request(); });

    run_step([&] {
        if (files.file_exists(s.install_dir + main_executable_name)) {
            s.probed_version =
                text::remove_all(GetFileVersionData(context_, s.install_dir + main_executable_name), " ");
            s.installed_version = s.probed_version;
        } else {
            s.installed_version = "0.0.0";
        }
    });

    if (!command_text.empty() && text::contains(command_text, "html")) {
        run_step([&] {
            window.set_visible(Control::OmWebsite, true);
            window.set_visible(Control::CheckNow0, true);
            window.set_visible(Control::CheckNow2, true);
            window.set_text(Control::OmWebsite, "Not set!");
            window.set_text(Control::OmWebsite, command_text);
            s.exe_address = window.text(Control::OmWebsite);
        });
        context_.yield();
        run_step([&] { window.set_text(Control::Label1, "Checking " + s.exe_address + " for Ombrix updates. "); });
        run_step([&] { get_new_version(context_); });
    } else {
        if (!s.updated_run)
            run_step([&] { show_in_front(); });
        run_step([&] {
            window.set_visible(Control::OmWebsite, true);
            window.set_visible(Control::CheckNow0, true);
            window.set_visible(Control::CheckNow2, true);
            window.set_text(Control::OmWebsite, s.default_site);
            s.exe_address = window.text(Control::OmWebsite);
        });
        context_.yield();
        run_step([&] { window.set_text(Control::Label1, "Check " + s.exe_address + " for Ombrix updates. "); });
    }

    if (!window.shown())
        window.show();
}

void OmUpdate::relaunch(const std::string& command_text)
{
    Session& s = context_.session;
    auto& platform = context_.platform;
    auto& files = platform.files;
    auto& clock = platform.clock;
    const std::string copy_path = s.install_dir + running_copy_file_name;

    run_step([&] {
        if (files.file_exists(copy_path))
            files.delete_file(copy_path);
    });
    context_.yield();
    run_step([&] { files.copy_file(s.install_dir + updater_file_name, copy_path); });
    context_.yield();

    // Bounded: without write access to the folder the copy never appears.
    bool copy_exists = false;
    run_step([&] {
        const std::int64_t start = clock.monotonic_ms();
        while (!(copy_exists = files.file_exists(copy_path))) {
            if (clock.monotonic_ms() - start >= copy_wait_limit_ms)
                break;
            platform.window.wait_events(50);
        }
    });
    if (!copy_exists)
        return;
    yield_times(3);

    // The path is quoted so that a folder with blanks still names the copy.
    const std::string copy_command = "\"" + copy_path + "\" " + command_text;
    const bool started = run_step([&] {
        s.result_code = static_cast<std::int32_t>(platform.processes.start(copy_command, platform::sw_normal));
    });
    if (!started)
        return;
    context_.end_program("relaunched as the copy: " + copy_command);
}

} // namespace om
