#include "release/listing_parse.hpp"

#include "app/context.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "release/notify.hpp"
#include "release/offerable_name.hpp"
#include "release/version_triple.hpp"

namespace om {

namespace {

// The name from the first `prefix` through the first ".exe" at or after it; "" when there is none or
// when the name is not a plain file name.
std::string cut_package_name(const std::string& listing, std::string_view prefix)
{
    const std::size_t n = text::find_pos(listing, prefix);
    if (n == 0)
        return {};
    const std::size_t e = text::find_pos(listing, ".exe", n);
    if (e == 0)
        throw StepFailed("package name without \".exe\"");
    std::string name = text::mid(listing, n, e - n + 4);
    if (!is_offerable_file_name(name))
        return {};
    return name;
}

bool completion_marker_exists(Context& context, const std::string& name)
{
    return context.platform.files.file_exists(context.session.install_dir + name + ".completed");
}

// Cuts the version of a listed quick-update package and decides whether it is on offer.
void decide_listed_exe(Context& context)
{
    Session& s = context.session;
    const std::size_t v = text::find_pos(s.listed_exe_name, "v.");
    if (v == 0 || completion_marker_exists(context, s.listed_exe_name)) {
        s.exe_available = false;
        return;
    }
    const std::string window = text::mid(s.listed_exe_name, v, 20);
    const std::size_t x = text::find_pos(window, ".exe");
    if (x < 2)
        throw StepFailed("no \".exe\" within the version window");
    const std::string version_text = text::mid(window, 2, x - 2);
    const VersionTriple quick = cut_marked_version(version_text);
    s.exe_version_parts = store_version_parts(quick);
    s.web_exe_version_text = ombrix_version_text(s.exe_version_parts);
    s.exe_available = is_newer_version(quick, cut_installed_version(s.installed_version));
}

} // namespace

void parse_support_listing(Context& context, const std::string& listing)
{
    const std::string name = cut_package_name(listing, "up_support");
    if (name.empty() || completion_marker_exists(context, name))
        return;
    context.session.support_file = name;
    context.session.support_available = true;
}

void parse_exe_listing(Context& context, const std::string& listing)
{
    Session& s = context.session;
    // Each step on its own: a package whose name or version cannot be cut is simply not offered, and
    // the decision still runs.
    run_step([&] { s.listed_exe_name = cut_package_name(listing, "om_exe.v."); });
    if (!run_step([&] { decide_listed_exe(context); }))
        s.exe_available = false;
    run_step([&] {
        s.exe_listing_path = "/latest_omexe/";
        s.exe_address = text::replace_all(s.site, "ombrix.html", s.exe_listing_path + s.listed_exe_name);
    });
    notify(context);
}

} // namespace om
