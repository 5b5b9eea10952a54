#include "release/get_new_version.hpp"

#include "app/context.hpp"
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"
#include "download/request_events.hpp"
#include "release/html_to_text.hpp"
#include "release/offerable_name.hpp"
#include "release/release_request.hpp"
#include "release/version_triple.hpp"
#include "report/check_in.hpp"

namespace om {

namespace {

// A check that cannot go on; what() is the text shown to the user.
class CheckFailed : public StepFailed {
public:
    using StepFailed::StepFailed;
};

std::string no_release_information(const Session& s)
{
    return "The release page " + s.site + " holds no release information.";
}

// Shows the page's feature section, from "New Feature Update" up to "Ombrix Features", each ">"
// starting a new line.
void show_feature_section(Context& context, const std::string& markup)
{
    const std::string plain = html_to_text(markup);
    const std::size_t s = text::find_pos(plain, "New Feature Update");
    const std::size_t f = text::find_pos(plain, "Ombrix Features");
    if (s == 0 || f < s)
        throw CheckFailed(no_release_information(context.session));
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
        VersionTriple web{};
        try {
            version_text = cut_page_version(markup, marker);
            web = cut_marked_version(version_text);
            s.web_version_parts = store_version_parts(web);
        } catch (const std::exception& e) {
            log::line(std::string("Release page version: ") + e.what());
            throw CheckFailed(no_release_information(s));
        }
        s.web_msi_version_text = ombrix_version_text(s.web_version_parts);
        s.msi_available = is_newer_version(web, cut_installed_version(s.installed_version));
    }
    version_text = text::remove_all(text::remove_all(version_text, "\r"), "\n");
    const std::string msi_name = "ombrix32_" + text::replace_all(version_text, "v.", "v");
    if (!is_offerable_file_name(text::remove_all(msi_name, " ") + ".msi")) {
        log::line("Release page version \"" + version_text + "\" forms no plain file name");
        s.msi_available = false;
        throw CheckFailed(no_release_information(s));
    }
    s.msi_address = text::remove_all(text::remove_all(s.site, "ombrix.html") + msi_name, " ") + ".msi";
    return version_text;
}

// One discovery request: sent, then judged. A response past its size limit fails the check; an error
// status fails it for the page, while a listing is read as empty and its status kept for the message.
void request(Context& context, bool is_page, const std::string& address, std::string& listing_statuses)
{
    const std::string what = is_page ? "The release page " : "The listing ";
    try {
        send_release_request(context, address);
    } catch (const platform::HttpCallFailed& e) {
        log::line("Release request " + address + " failed: " + e.what());
        throw CheckFailed(what + address + " could not be read.");
    }
    const Context::Response& response = context.response;
    log::line("Release request " + address + ": HTTP " + std::to_string(response.status) + ", " +
              std::to_string(response.bytes) + " bytes");
    if (response.over_cap)
        throw CheckFailed(what + address + " could not be read (larger than " +
                          std::to_string(discovery_cap_bytes / (1024 * 1024)) + " MB).");
    if (is_success_status(response.status))
        return;
    if (is_page)
        throw CheckFailed(what + address + " could not be read (HTTP " + std::to_string(response.status) + ").");
    listing_statuses += " The listing " + address + " answered HTTP " + std::to_string(response.status) + ".";
}

} // namespace

std::string get_new_version(Context& context)
{
    Session& s = context.session;
    send_check_in(context); // ends the program in an "/updated" run

    // Abort and return: any ordinary failure ends the check, and Label1 says why. A failed request
    // reported through the error event has already ended the program.
    std::string listing_statuses;
    try {
        ensure_request_object(context);

        s.awaiting_support_list = true;
        s.awaiting_exe_list = false;
        s.exe_available = false;
        request(context, false, text::remove_all(s.site, "/ombrix.html") + "/support_files/", listing_statuses);

        s.awaiting_page = true;
        s.awaiting_exe_list = false;
        s.msi_available = false;
        request(context, true, s.site, listing_statuses);
        context.yield();
        const std::string version_text = read_release_page(context);
        log::line("Release page version \"" + version_text + "\"");

        s.awaiting_page = false;
        s.awaiting_exe_list = true;
        s.exe_available = false;
        request(context, false, text::remove_all(s.site, "ombrix.html") + "latest_omexe/", listing_statuses);
        return version_text;
    } catch (const std::exception& e) {
        if (context.req)
            run_step([&] { context.req->abort(); }); // also drops a kept body
        s.awaiting_exe_list = false;
        s.awaiting_page = false;
        const bool told = dynamic_cast<const CheckFailed*>(&e) != nullptr;
        const std::string message =
            (told ? std::string(e.what()) : "The check for updates could not be completed.") + listing_statuses;
        log::line("Check failed: " + message + (told ? "" : std::string(" (") + e.what() + ")"));
        run_step([&] { context.platform.window.set_text(platform::Control::Label1, message); });
        return {};
    }
}

} // namespace om
