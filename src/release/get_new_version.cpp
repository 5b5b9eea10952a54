#include "release/get_new_version.hpp"

#include "app/context.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "release/html_to_text.hpp"
#include "release/release_request.hpp"
#include "release/version_triple.hpp"
#include "report/check_in.hpp"

namespace om {

namespace {

// Shows the page's feature section, from "New Feature Update" up to "Ombrix Features", each ">"
// starting a new line.
void show_feature_section(Context& context, const std::string& markup)
{
    const std::string plain = html_to_text(markup);
    const std::size_t s = text::find_pos(plain, "New Feature Update");
    const std::size_t f = text::find_pos(plain, "Ombrix Features");
    if (s == 0 || f < s)
        throw StepFailed("no feature section on the page");
    const std::string section = text::replace_all(text::mid(plain, s, f - s), ">", "\n\r>");
    context.platform.window.set_text(platform::Control::RichTextBox1, section);
}

// The version text of the "(v." marker: from "v." up to the ")" within the 20 characters from "(v.".
std::string cut_page_version(const std::string& markup, std::size_t marker)
{
    const std::string window = text::mid(markup, marker, 20);
    const std::size_t close = text::find_pos(window, ")");
    if (close == 0)
        throw StepFailed("no \")\" after \"(v.\"");
    return text::mid(window, 2, close - 2);
}

// Reads the page: feature section, version, msi_available, msi_address. Returns the version text.
std::string read_release_page(Context& context)
{
    Session& s = context.session;
    const std::size_t marker = text::find_pos(context.req->response_text(), "(v.");
    const std::string markup = context.req->response_text();
    show_feature_section(context, markup);

    std::string version_text;
    if (s.installed_version.empty() || marker == 0) {
        s.msi_available = false;
    } else {
        version_text = cut_page_version(markup, marker);
        const VersionTriple web = cut_marked_version(version_text);
        s.web_version_parts = store_version_parts(web);
        s.web_msi_version_text = ombrix_version_text(s.web_version_parts);
        s.msi_available = is_newer_version(web, cut_installed_version(s.installed_version));
    }
    version_text = text::remove_all(text::remove_all(version_text, "\r"), "\n");
    s.msi_address =
        text::remove_all(
            text::remove_all(s.site, "ombrix.html") + "ombrix32_" + text::replace_all(version_text, "v.", "v"), " ") +
        ".msi";
    return version_text;
}

} // namespace

std::string get_new_version(Context& context)
{
    Session& s = context.session;
    send_check_in(context); // ends the program in an "/updated" run

    // Abort and return: any ordinary failure of the check ends it quietly. A failed request reported
    // through the error event has already ended the program.
    try {
        ensure_request_object(context);

        s.awaiting_support_list = true;
        s.awaiting_exe_list = false;
        s.exe_available = false;
        send_release_request(context, text::remove_all(s.site, "/ombrix.html") + "/support_files/");

        s.awaiting_page = true;
        s.awaiting_exe_list = false;
        s.msi_available = false;
        send_release_request(context, s.site);
        context.yield();
        const std::string version_text = read_release_page(context);

        s.awaiting_page = false;
        s.awaiting_exe_list = true;
        s.exe_available = false;
        send_release_request(context, text::remove_all(s.site, "ombrix.html") + "latest_omexe/");
        return version_text;
    } catch (const std::exception&) {
        if (context.req)
            run_step([&] { context.req->abort(); });
        s.awaiting_exe_list = false;
        s.awaiting_page = false;
        return {};
    }
}

} // namespace om
