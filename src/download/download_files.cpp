#include "download/download_files.hpp"

#include "app/context.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "download/package_names.hpp"
#include "download/package_signature.hpp"
#include "download/transfer.hpp"
#include "install/command_lines.hpp"
#include "install/do_up.hpp"
#include "install/package_checks.hpp"
#include "install/shell_and_wait.hpp"

#include <string_view>

namespace om {

namespace {

using platform::Control;

// The saved support package is visible as soon as its transfer has been committed; the wait only
// covers a file system that shows it late. Past this bound the download counts as failed.
constexpr std::int64_t support_package_wait_ms = 10'000;
constexpr int poll_interval_ms = 50;

void show_status(Context& context, const std::string& text)
{
    context.platform.window.set_text(Control::Info, text);
}

// Step B: failures are ignored; a later write into the missing folder fails on its own.
void ensure_download_folder(Context& context)
{
    auto& files = context.platform.files;
    const std::string folder = context.session.install_dir + "om_msi";
    run_step([&] {
        if (!files.folder_exists(folder))
            files.create_folder(folder);
    });
}

// Error path of download_files.
[[noreturn]] void fail_download(Context& context)
{
    run_step([&] { show_status(context, "Error. No Upadtes found."); });
    run_step([&] { context.yield(); });
    context.end_program();
}

void wait_for_support_package(Context& context, const std::string& path)
{
    auto& files = context.platform.files;
    auto& clock = context.platform.clock;
    const std::int64_t start = clock.monotonic_ms();
    while (!files.file_exists(path)) {
        if (clock.monotonic_ms() - start >= support_package_wait_ms)
            throw StepFailed("support package did not appear: " + path);
        context.platform.window.wait_events(poll_interval_ms);
    }
}

void write_support_record(Context& context, const std::string& line)
{
    const std::string path = context.session.install_dir + "support_installed.txt";
    auto writer = context.platform.files.begin_write(path);
    if (!writer)
        throw StepFailed("cannot write " + path);
    const std::string content = line + "\r\n";
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(content.data());
    if (!writer->write({bytes, content.size()}) || !writer->commit())
        throw StepFailed("cannot write " + path);
}

// A support package that ended with a failure is not marked completed: it is removed, so that a later
// run fetches and runs it again, and the user is told.
[[noreturn]] void refuse_support_package(Context& context, const std::string& package)
{
    const std::string why =
        package + " could not be installed (it ended with code " + std::to_string(context.session.result_code) + ").";
    log::line("support package failed: " + why);
    run_step([&] { context.platform.files.delete_file(package); });
    run_step([&] { context.platform.window.message_box(log::with_path(why)); });
    run_step([&] { context.session.result_code = start_application(context); });
    context.end_program();
}

// Support case: fetch, run and retire the support package, restart the application, end.
[[noreturn]] void install_support_package(Context& context)
{
    Session& s = context.session;
    auto& files = context.platform.files;
    require_bare_file_name(s.support_file);
    const std::string package = s.install_dir + s.support_file;

    s.download_name = s.support_file;
    show_status(context, "Downloading " + s.support_file);
    context.yield();
    // The support folder's address is lower-cased whole; the local name keeps its case.
    const std::string address =
        text::to_lower(text::replace_all(s.site, "ombrix.html", "support_files/" + s.support_file));
    fetch_to_file(context, address, package);
    fetch_package_signature(context, address, package);
    wait_for_support_package(context, package);
    verify_package_signature(context, package, s.support_file);

    // The package unpacks itself into the current folder.
    if (!files.set_current_folder(s.install_dir))
        throw StepFailed("cannot enter " + s.install_dir);
    context.yield();
    show_status(context, files.current_folder());
    context.yield();
    show_status(context, "Installing " + s.support_file);
    context.yield();
    context.yield();
    check_packages(context, {{Package::Kind::program, package, true}});
    s.result_code = ShellAndWait(context, unpack_command(package), platform::sw_min_no_activate);
    for (int i = 0; i < 3; ++i)
        context.yield();
    if (s.result_code != 0)
        refuse_support_package(context, package);
    show_status(context, "Updated files have been installed!");
    if (!files.rename_file(package, package + ".completed"))
        throw StepFailed("cannot mark " + package + " completed");
    write_support_record(context, s.support_file + ".completed");
    context.yield();
    s.result_code = start_application(context);
    context.yield();
    // Packages also on offer are left for a later run.
    context.end_program();
}

void fetch_quick_update(Context& context)
{
    Session& s = context.session;
    s.download_name = package_file_name(s.exe_address, quick_update_marker);
    s.exe_package_name = s.download_name;
    show_status(context, "Downloading " + s.download_name);
    context.yield();
    fetch_to_file(context, s.exe_address, s.install_dir + s.download_name);
    fetch_package_signature(context, s.exe_address, s.install_dir + s.download_name);
}

void fetch_installer(Context& context)
{
    Session& s = context.session;
    s.download_name = package_file_name(s.msi_address, installer_marker);
    s.msi_package_name = s.download_name;
    show_status(context, "Downloading " + s.download_name);
    context.yield();
    fetch_to_file(context, s.msi_address, s.install_dir + "om_msi\\" + s.download_name);
    fetch_package_signature(context, s.msi_address, s.install_dir + "om_msi\\" + s.download_name);
}

void fetch_packages(Context& context)
{
    const Session& s = context.session;
    if (s.exe_available && s.msi_available) {
        fetch_quick_update(context);
        fetch_installer(context);
    } else if (s.msi_available) {
        fetch_installer(context);
    } else if (s.exe_available) {
        fetch_quick_update(context);
    }
}

// Works out the installer's name and shows `skip` when that installer is already downloaded.
void plan_installer(Context& context)
{
    Session& s = context.session;
    s.download_name = package_file_name(s.msi_address, installer_marker);
    s.msi_package_name = s.download_name;
    if (context.platform.files.file_exists(s.install_dir + "om_msi\\" + s.msi_package_name))
        context.platform.window.set_visible(Control::Skip, true);
}

void plan_quick_update(Context& context)
{
    Session& s = context.session;
    s.download_name = package_file_name(s.exe_address, quick_update_marker);
    s.exe_package_name = s.download_name;
}

} // namespace

void get_download_filenames(Context& context)
{
    Session& s = context.session;
    s.download_name = "";
    ensure_download_folder(context);
    try {
        context.platform.window.set_visible(Control::Skip, false);
        if (s.exe_available && s.msi_available) {
            plan_quick_update(context);
            plan_installer(context);
        } else if (s.msi_available) {
            plan_installer(context);
        } else if (s.exe_available) {
            plan_quick_update(context);
        }
        s.download_name = "";
    } catch (const std::exception&) {
        context.end_program(); // silently
    }
}

void download_files(Context& context)
{
    Session& s = context.session;
    run_step([&] {
        show_status(context, "Downloading " + s.exe_address);
        context.yield();
    });
    s.download_name = "";
    ensure_download_folder(context);
    try {
        const bool support_done = context.platform.files.file_exists(s.install_dir + s.support_file + ".completed");
        if (!support_done && s.support_available)
            install_support_package(context);
        fetch_packages(context);
        s.download_name = "";
    } catch (const std::exception&) {
        fail_download(context);
    }
    do_up(context);
}

} // namespace om
