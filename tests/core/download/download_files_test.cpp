#include "download/download_files.hpp"

#include "download/package_names.hpp"
#include "release/release_request.hpp"
#include "support/fake_http.hpp"
#include "support/test_platform.hpp"

#include <gmock/gmock.h>

namespace om {
namespace {

using Strings = std::vector<std::string>;

const std::string dir = "C:\\Ombrix\\", main_exe = dir + "ombrix32.exe", restart = "\"" + main_exe + "\" | 2";
const std::string msi_url = "http://site.test/Ombrix/ombrix32_v2.1.6.msi",
                  new_msi = dir + "om_msi\\ombrix32_v2.1.6.msi";
const std::string exe_url = "http://site.test/Ombrix//latest_omexe/om_exe.v.2.1.7.exe";
const std::string support_url = "http://site.test/ombrix/support_files/up_support_v7.exe";
const std::string support = dir + "up_support_V7.exe";

// A session at the point where the user pressed "Install": ombrix32.exe 2.1.5 in C:\Ombrix\ with its
// installer, a release site on "site.test", and the real request events on a fake request object.
struct Download {
    test::TestPlatform fakes;
    test::FakeHttp http;
    platform::Platform services = (fakes.http = &http, fakes.services());
    Context context{services};
    Session& s = context.session;

    Download()
    {
        ensure_request_object(context);
        fakes.files.folders = {"C:\\Ombrix"};
        fakes.files.files = {{main_exe, {'o'}}, {dir + "om_msi\\ombrix32_v2.1.5.msi", {'M', 'S', 'I', ' ', '2'}}};
        fakes.versions.set_version(main_exe, 2, 1, 0, 5);
        fakes.registry.add_key("Software\\Kelvane\\Ombrix32");
        s.install_dir = dir;
        s.site = "site.test/Ombrix/ombrix.html";
        s.web_version_parts = {2, 1, 6};
        s.uninstall_msi_path = "\"" + dir + "om_msi\\ombrix32_v2.1.5.msi\"";
        s.msi_address = "site.test/Ombrix/ombrix32_v2.1.6.msi";
        s.exe_address = "site.test/Ombrix//latest_omexe/om_exe.v.2.1.7.exe";
        s.support_file = "up_support_V7.exe";
        // Installers and packages write a new main executable, as the real ones do.
        fakes.processes.on_start = [this](const test::FakeProcesses::Start& start) {
            if (start.command_line.starts_with("msiexec /package") || start.command_line.ends_with(" -y -o"))
                fakes.files.files[main_exe] = {'n'};
        };
    }
    Strings starts() const
    {
        Strings out;
        for (const auto& start : fakes.processes.starts)
            out.push_back(start.command_line + " | " + std::to_string(start.show_window));
        return out;
    }
};

struct DownloadSession : ::testing::Test, Download {};

TEST(PackageNames, CutFromTheMarkerAndRejectNamesThatLeaveTheFolder)
{
    for (const char* bad : {"host/ombrix32_2.1.5.msi", "host/OMBRIX32_v2.1.5.msi", "h/ombrix32_v9/../../a.msi",
                            "h/ombrix32_v9\\..\\a.msi", "h/ombrix32_v1\" x.msi"})
        EXPECT_THROW(package_file_name(bad, installer_marker), StepFailed) << bad;
    EXPECT_THROW(package_file_name("h/om_exe/latest/om_exe.v.1.exe", quick_update_marker), StepFailed);
    EXPECT_THROW(require_bare_file_name("C:evil.exe"), StepFailed);
}

TEST(DownloadPlan, FileNamesAndTheSkipBoxShownOnlyForThatVeryInstallerAlreadyDownloaded)
{
    // What is on offer, the installer already downloaded; the names planned and whether skip shows.
    const std::tuple<bool, bool, std::string, std::string, std::string, bool> cases[] = {
        {true, true, "ombrix32_v2.1.5.msi", "om_exe.v.2.1.7.exe", "ombrix32_v2.1.6.msi", false},
        {true, true, "ombrix32_v2.1.6.msi", "om_exe.v.2.1.7.exe", "ombrix32_v2.1.6.msi", true},
        {false, true, "ombrix32_v2.1.6.msi", "", "ombrix32_v2.1.6.msi", true},
        {true, false, "ombrix32_v2.1.6.msi", "om_exe.v.2.1.7.exe", "", false}};
    for (const auto& [exe, msi, downloaded, exe_name, msi_name, skip] : cases) {
        Download t;
        t.fakes.files.files = {{dir + "om_msi\\" + downloaded, {}}};
        t.s.exe_available = exe;
        t.s.msi_available = msi;
        get_download_filenames(t.context);
        EXPECT_EQ(t.s.exe_package_name + " " + t.s.msi_package_name + t.s.download_name, exe_name + " " + msi_name);
        EXPECT_TRUE(t.fakes.files.folders.count("C:\\Ombrix\\om_msi"));
        EXPECT_EQ(t.fakes.window.entries("visible skip"),
                  (skip ? Strings{"visible skip=0", "visible skip=1"} : Strings{"visible skip=0"}));
    }
    // An address without its marker ends the program silently, before anything is fetched.
    Download t;
    t.s.msi_available = true;
    t.s.msi_address = "site.test/Ombrix/setup.msi";
    EXPECT_THROW(get_download_filenames(t.context), ProgramEnded);
    EXPECT_TRUE(t.fakes.window.entries("text ").empty() && t.http.log.empty());
}

TEST_F(DownloadSession, SupportPackageIsFetchedRunRetiredAndTheApplicationRestarted)
{
    s.support_available = true;
    s.exe_available = s.msi_available = true; // left for a later run
    http.responses[support_url].body = "MZ support package";
    EXPECT_THROW(download_files(context), ProgramEnded);
    EXPECT_EQ(http.log, (Strings{"timeouts 2000 2000 2000 2000", "open GET " + support_url + " false",
                                 "header User-Agent: MyCustomUser", "keep_body 0", "keep_body 1"}));
    EXPECT_EQ(fakes.window.entries("text info="),
              (Strings{"text info=Downloading site.test/Ombrix//latest_omexe/om_exe.v.2.1.7.exe",
                       "text info=Downloading up_support_V7.exe", "text info=C:\\Ombrix",
                       "text info=Installing up_support_V7.exe", "text info=Updated files have been installed!"}));
    EXPECT_EQ(starts(), (Strings{"\"" + support + "\" -y -o | 6", restart}));
    EXPECT_EQ(fakes.processes.waits.size(), 1u); // only the package run is waited for
    EXPECT_FALSE(fakes.files.file_exists(support));
    EXPECT_EQ(fakes.files.content(support + ".completed"), "MZ support package");
    EXPECT_EQ(fakes.files.content(dir + "support_installed.txt"), "up_support_V7.exe.completed\r\n");
    EXPECT_EQ(fakes.registry.text("Software\\Kelvane\\Ombrix32", "LastSuccessRun"), "<missing>");

    // Not a program, or a run that fails: removed, not marked, the application restarted.
    for (const auto& [body, code] : {std::pair{"<html>", 0u}, {"MZ support package", 3u}}) {
        Download t;
        t.s.support_available = true;
        t.http.responses[support_url].body = body;
        t.fakes.processes.exit_codes = {code};
        EXPECT_THROW(download_files(t.context), ProgramEnded);
        EXPECT_EQ(t.starts(), (code ? Strings{"\"" + support + "\" -y -o | 6", restart} : Strings{restart}));
        EXPECT_EQ(t.fakes.files.files.size(), 2u); // the package removed, nothing marked or recorded
        EXPECT_THAT(t.fakes.window.entries("box "),
                    testing::ElementsAre(testing::HasSubstr(code ? "(it ended with code 3)" : "is not a program")));
    }
}

TEST_F(DownloadSession, PackagesQuickUpdateFirstThenInstallerThenTheInstallationWhichAlsoRunsWithNothingOnOffer)
{
    s.support_available = true;
    s.exe_available = s.msi_available = true;
    fakes.files.files[support + ".completed"] = {}; // retired: not fetched again
    http.responses[exe_url].body = "MZ quick update";
    http.responses[msi_url].body = "MSI 2.1.6.0";
    fakes.files.put(new_msi, "old and longer");
    EXPECT_THROW(download_files(context), ProgramEnded);
    EXPECT_EQ(http.entries("open"), (Strings{"open GET " + exe_url + " false", "open GET " + msi_url + " false"}));
    EXPECT_EQ(fakes.files.content(dir + "om_exe.v.2.1.7.exe") + fakes.files.content(new_msi),
              "MZ quick updateMSI 2.1.6.0");
    EXPECT_THAT(fakes.window.entries("text info="),
                testing::IsSupersetOf(
                    {"text info=Downloading om_exe.v.2.1.7.exe", "text info=Downloading ombrix32_v2.1.6.msi"}));
    EXPECT_EQ(s.download_name, "");
    // do_up took over: uninstall, install, unpack, restart.
    ASSERT_EQ(fakes.processes.starts.size(), 4u);
    EXPECT_EQ(starts()[1], "msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE | 1");

    // With nothing on offer nothing is fetched, and do_up returns when nothing is to be installed.
    Download none;
    download_files(none.context);
    EXPECT_TRUE(none.http.log.empty() && none.fakes.processes.starts.empty());
    EXPECT_EQ(none.fakes.window.entries("visible om_website"), Strings{"visible om_website=0"});
}

TEST(DownloadFiles, UnsoundResponsesWriteNothingAndStartNothing)
{
    // The installer alone: answered 404, broken off, or its address without the marker; the quick update
    // alone, not on the site.
    for (const std::string what : {"404", "broken off", "no marker", "quick update 404"}) {
        SCOPED_TRACE(what);
        Download t;
        const bool quick = what == "quick update 404";
        t.http.responses[msi_url] = {.status = what == "404" ? 404 : 200, .body = "full installer", .chunks = {4, 99}};
        t.http.responses[msi_url].error_after = what == "broken off" ? 1 : -1;
        t.fakes.files.files[new_msi] = {'k'};
        t.s.msi_available = !quick;
        t.s.exe_available = quick;
        t.s.msi_address = what == "no marker" ? "site.test/Ombrix/setup.msi" : t.s.msi_address;
        EXPECT_THROW(download_files(t.context), ProgramEnded);
        EXPECT_EQ(t.http.entries("open"),
                  what == "no marker" ? Strings{} : Strings{"open GET " + (quick ? exe_url : msi_url) + " false"});
        EXPECT_EQ(t.fakes.window.entries("text info=").back(), what == "broken off"
                                                                   ? "text info=Downloading ombrix32_v2.1.6.msi"
                                                                   : "text info=Error. No Upadtes found.");
        EXPECT_EQ(t.fakes.files.content(new_msi), "k");
        EXPECT_EQ(t.fakes.files.files.size(), 3u);
        EXPECT_TRUE(t.fakes.processes.starts.empty());
        EXPECT_EQ(t.context.download.sink, nullptr);
    }
}

// The saved support package never shows: another program (a virus scanner, say) takes it away while its
// signature is fetched.
TEST_F(DownloadSession, SupportPackageThatNeverAppearsTakesTheErrorPathAfterABoundedWait)
{
    s.support_available = true;
    context.release_public_key = "key";
    http.responses[support_url].body = "MZ support";
    fakes.window.on_yield = [&] { fakes.files.files.erase(support); };
    EXPECT_THROW(download_files(context), ProgramEnded);
    EXPECT_EQ(fakes.window.entries("text info=").back(), "text info=Error. No Upadtes found.");
    EXPECT_TRUE(fakes.processes.starts.empty());
    // It slept between tests, within the bound and past it, rather than spinning.
    EXPECT_NEAR(fakes.window.waited_ms, 10'050, 50);
}

} // namespace
} // namespace om
