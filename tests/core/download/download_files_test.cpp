#include "download/download_files.hpp"

#include "download/package_names.hpp"
#include "download_fixture.hpp"

namespace om {
namespace {

using test::DownloadSession;
using test::ScriptedResponse;
using Strings = std::vector<std::string>;

const std::string msi_url = "http://site.test/Ombrix/ombrix32_v2.1.6.msi";
const std::string exe_url = "http://site.test/Ombrix//latest_omexe/om_exe.v.2.1.7.exe";
const std::string new_msi = "C:\\Ombrix\\om_msi\\ombrix32_v2.1.6.msi";
const std::string new_exe = "C:\\Ombrix\\om_exe.v.2.1.7.exe";

TEST(PackageNames, CutFromTheMarkerAndRejectNamesThatLeaveTheFolder)
{
    EXPECT_EQ(package_file_name("host/ombrix32_v2.1.5.msi", installer_marker), "ombrix32_v2.1.5.msi");
    EXPECT_EQ(package_file_name("h/x//latest_omexe/om_exe.v.2.1.6.exe", quick_update_marker), "om_exe.v.2.1.6.exe");
    EXPECT_THROW(package_file_name("host/ombrix32_2.1.5.msi", installer_marker), StepFailed);
    EXPECT_THROW(package_file_name("host/OMBRIX32_v2.1.5.msi", installer_marker), StepFailed);
    EXPECT_THROW(package_file_name("h/om_exe/latest/om_exe.v.1.exe", quick_update_marker), StepFailed);
    EXPECT_THROW(package_file_name("h/ombrix32_v9/../../a.msi", installer_marker), StepFailed);
    EXPECT_THROW(package_file_name("h/ombrix32_v9\\..\\a.msi", installer_marker), StepFailed);
    EXPECT_THROW(package_file_name("h/ombrix32_v1\" x.msi", installer_marker), StepFailed);
    EXPECT_THROW(require_bare_file_name("C:evil.exe"), StepFailed);
    EXPECT_NO_THROW(require_bare_file_name("up_support_V7.exe"));
}

TEST_F(DownloadSession, FileNamesAndTheSkipBox)
{
    Session& s = context.session;
    s.exe_available = s.msi_available = true;
    get_download_filenames(context);
    EXPECT_EQ(s.exe_package_name, "om_exe.v.2.1.7.exe");
    EXPECT_EQ(s.msi_package_name, "ombrix32_v2.1.6.msi");
    EXPECT_EQ(s.download_name, "");
    EXPECT_TRUE(fakes.files.folders.count("C:\\Ombrix\\om_msi"));
    EXPECT_EQ(fakes.window.entries("visible skip"), Strings{"visible skip=0"});

    // The box shows only when that very installer is already downloaded.
    fakes.files.files["C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi"] = {};
    fakes.window.log.clear();
    get_download_filenames(context);
    EXPECT_EQ(fakes.window.entries("visible skip"), Strings{"visible skip=0"});

    fakes.files.files[new_msi] = {};
    for (bool exe : {true, false}) {
        s.exe_available = exe;
        s.exe_package_name = s.msi_package_name = "";
        fakes.window.log.clear();
        get_download_filenames(context);
        EXPECT_EQ(fakes.window.entries("visible skip"), (Strings{"visible skip=0", "visible skip=1"}));
        EXPECT_EQ(s.msi_package_name, "ombrix32_v2.1.6.msi");
        EXPECT_EQ(s.exe_package_name, exe ? "om_exe.v.2.1.7.exe" : "");
    }

    // Quick update alone: no installer name, no box.
    s.msi_available = false;
    s.exe_available = true;
    s.msi_package_name = "";
    fakes.window.log.clear();
    get_download_filenames(context);
    EXPECT_EQ(s.exe_package_name, "om_exe.v.2.1.7.exe");
    EXPECT_EQ(s.msi_package_name, "");
    EXPECT_EQ(fakes.window.entries("visible skip"), Strings{"visible skip=0"});
}

TEST_F(DownloadSession, FileNamesEndTheProgramSilentlyForAnAddressWithoutItsMarker)
{
    Session& s = context.session;
    s.msi_available = true;
    s.msi_address = "site.test/Ombrix/setup.msi";
    EXPECT_THROW(get_download_filenames(context), ProgramEnded);
    EXPECT_TRUE(fakes.window.entries("text ").empty());

    s.msi_available = false;
    s.exe_available = true;
    s.exe_address = "site.test/Ombrix/ombrix.html";
    EXPECT_THROW(get_download_filenames(context), ProgramEnded);
    EXPECT_TRUE(fakes.window.entries("text ").empty());
    EXPECT_TRUE(http->sent_urls.empty());
}

TEST_F(DownloadSession, SupportPackageIsFetchedRunRetiredAndTheApplicationRestarted)
{
    Session& s = context.session;
    s.support_available = true;
    s.support_file = "up_support_V7.exe";
    s.exe_available = s.msi_available = true; // left for a later run
    offer("http://site.test/ombrix/support_files/up_support_v7.exe", "MZ support package");

    EXPECT_THROW(download_files(context), ProgramEnded);

    EXPECT_EQ(http->sent_urls, Strings{"http://site.test/ombrix/support_files/up_support_v7.exe"});
    EXPECT_EQ(http->log, (Strings{"timeouts 2000 2000 2000 2000",
                                  "open GET http://site.test/ombrix/support_files/up_support_v7.exe sync",
                                  "header User-Agent: MyCustomUser", "keep_body 0", "send", "keep_body 1"}));
    EXPECT_EQ(status_lines(),
              (Strings{"Downloading site.test/Ombrix//latest_omexe/om_exe.v.2.1.7.exe", "Downloading up_support_V7.exe",
                       "C:\\Ombrix", "Installing up_support_V7.exe", "Updated files have been installed!"}));
    ASSERT_EQ(fakes.processes.starts.size(), 2u);
    EXPECT_EQ(fakes.processes.starts[0].command_line, "\"C:\\Ombrix\\up_support_V7.exe\" -y -o");
    EXPECT_EQ(fakes.processes.starts[0].show_window, 6);
    EXPECT_EQ(fakes.processes.starts[0].current_folder, "C:\\Ombrix");
    EXPECT_EQ(fakes.processes.starts[1].command_line, "\"C:\\Ombrix\\ombrix32.exe\"");
    EXPECT_EQ(fakes.processes.starts[1].show_window, 2);
    EXPECT_EQ(fakes.processes.waits.size(), 1u); // only the package run is waited for

    EXPECT_EQ(file("C:\\Ombrix\\up_support_V7.exe"), "<missing>");
    EXPECT_EQ(file("C:\\Ombrix\\up_support_V7.exe.completed"), "MZ support package");
    EXPECT_EQ(file("C:\\Ombrix\\support_installed.txt"), "up_support_V7.exe.completed\r\n");
    // Nothing else was fetched or installed.
    EXPECT_EQ(file(new_msi), "<missing>");
    EXPECT_EQ(file(new_exe), "<missing>");
    for (const auto& entry : fakes.files.log)
        EXPECT_NE(entry, "delete " + main_exe);
    EXPECT_EQ(fakes.registry.text("Software\\Kelvane\\Ombrix32", "LastSuccessRun"), "<missing>");
}

TEST_F(DownloadSession, RetiredSupportPackageIsNotFetchedAgain)
{
    Session& s = context.session;
    s.support_available = true;
    s.support_file = "up_support_V7.exe";
    s.exe_available = true;
    fakes.files.files["C:\\Ombrix\\up_support_V7.exe.completed"] = {};
    offer(exe_url, "MZ quick update");

    EXPECT_THROW(download_files(context), ProgramEnded); // do_up installs the quick update and ends
    EXPECT_EQ(http->sent_urls, Strings{exe_url});
    EXPECT_EQ(file(new_exe), "MZ quick update");
    EXPECT_EQ(fakes.processes.starts.at(0).command_line, "\"C:\\Ombrix\\om_exe.v.2.1.7.exe\" -y -o");
}

TEST_F(DownloadSession, BothPackagesQuickUpdateFirstThenInstaller)
{
    Session& s = context.session;
    s.exe_available = s.msi_available = true;
    offer(exe_url, "MZ quick update");
    offer(msi_url, "MSI 2.1.6.0");
    fakes.files.files[new_msi] = {'o', 'l', 'd', ' ', 'l', 'o', 'n', 'g', 'e', 'r'};

    EXPECT_THROW(download_files(context), ProgramEnded);
    EXPECT_EQ(http->sent_urls, (Strings{exe_url, msi_url}));
    EXPECT_EQ(file(new_exe), "MZ quick update");
    EXPECT_EQ(file(new_msi), "MSI 2.1.6.0");
    const Strings lines = status_lines();
    ASSERT_GE(lines.size(), 3u);
    EXPECT_EQ(lines[0], "Downloading site.test/Ombrix//latest_omexe/om_exe.v.2.1.7.exe");
    EXPECT_EQ(lines[1], "Downloading om_exe.v.2.1.7.exe");
    EXPECT_EQ(lines[2], "Downloading ombrix32_v2.1.6.msi");
    EXPECT_EQ(s.download_name, "");
    // do_up took over: uninstall, install, unpack, restart.
    ASSERT_EQ(fakes.processes.starts.size(), 4u);
    EXPECT_EQ(fakes.processes.starts[1].command_line,
              "msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE");
}

TEST_F(DownloadSession, NothingOnOfferMakesNoTransferAndStillRunsTheInstallation)
{
    download_files(context); // do_up returns when nothing is to be installed
    EXPECT_TRUE(http->sent_urls.empty());
    EXPECT_EQ(fakes.window.entries("visible om_website"), Strings{"visible om_website=0"});
    EXPECT_EQ(fakes.files.current, "C:\\Ombrix\\om_msi");
    EXPECT_TRUE(fakes.processes.starts.empty());
}

TEST_F(DownloadSession, AddressWithoutItsMarkerTakesTheErrorPath)
{
    Session& s = context.session;
    s.msi_available = true;
    s.msi_address = "site.test/Ombrix/setup.msi";
    EXPECT_THROW(download_files(context), ProgramEnded);
    EXPECT_EQ(status_lines().back(), "Error. No Upadtes found.");
    EXPECT_TRUE(http->sent_urls.empty());
    EXPECT_TRUE(fakes.processes.starts.empty());
}

TEST_F(DownloadSession, UnsoundResponsesWriteNothingAndStartNothing)
{
    struct Case {
        const char* what;
        ScriptedResponse response;
        bool unwritable = false;
    };
    const std::string page = "<html>Not here</html>";
    const std::vector<Case> cases = {
        {"404 page", {404, {page}, {}, false}},
        {"500 page", {500, {page}, {}, false}},
        {"no status start", {0, {"x"}, {}, false}},
        {"short body", {200, {"full inst", "aller"}, std::optional<long long>{1000}, false}},
        {"failed write", {200, {"MSI 2.1.6.0"}, {}, false}, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::TestPlatform fakes2;
        platform::Platform services2 = fakes2.services();
        Context context2{services2};
        auto request = std::make_unique<test::ScriptedHttpRequest>();
        test::DownloadEvents events2{context2};
        request->set_events(&events2);
        request->responses[msi_url] = c.response;
        auto* http2 = request.get();
        context2.req = std::move(request);
        fakes2.files.folders = {"C:\\Ombrix", "C:\\Ombrix\\om_msi"};
        fakes2.files.files[new_msi] = {'k', 'e', 'p', 't'};
        fakes2.files.files[main_exe] = {'o', 'l', 'd'};
        if (c.unwritable)
            fakes2.files.unwritable.insert(new_msi);
        // Were the installation to go on, nothing would bring the executable back: end it there.
        fakes2.window.on_yield = [&] {
            if (fakes2.window.waited_ms > 1000)
                fakes2.processes.end_program();
        };
        Session& s = context2.session;
        s.install_dir = dir;
        s.msi_available = true;
        s.msi_address = context.session.msi_address;

        EXPECT_THROW(download_files(context2), ProgramEnded);
        EXPECT_EQ(http2->sent_urls, Strings{msi_url});
        EXPECT_EQ(fakes2.window.entries("text info=").back(), "text info=Error. No Upadtes found.");
        EXPECT_EQ(fakes2.files.files[new_msi], (std::vector<std::uint8_t>{'k', 'e', 'p', 't'}));
        EXPECT_EQ(fakes2.files.files.size(), 2u);
        for (const auto& entry : fakes2.files.log)
            EXPECT_NE(entry.rfind("write ", 0), 0u) << entry;
        EXPECT_TRUE(fakes2.processes.starts.empty());
        EXPECT_EQ(context2.download.sink, nullptr);
    }
}

TEST_F(DownloadSession, BrokenTransferEndsTheProgramWithTheTargetIntact)
{
    Session& s = context.session;
    s.exe_available = true;
    http->responses[exe_url] = ScriptedResponse{200, {"quick "}, std::optional<long long>{100}, true};
    fakes.files.files[new_exe] = {'k', 'e', 'p', 't'};
    EXPECT_THROW(download_files(context), ProgramEnded);
    EXPECT_EQ(file(new_exe), "kept");
    EXPECT_TRUE(fakes.processes.starts.empty());
}

// A file system on which the saved support package never shows (another program takes it away).
class VanishingFiles : public test::FakeFiles {
public:
    std::string hidden;
    bool file_exists(const std::string& path) override { return path != hidden && FakeFiles::file_exists(path); }
};

TEST_F(DownloadSession, SupportPackageThatNeverAppearsTakesTheErrorPathAfterABoundedWait)
{
    VanishingFiles files;
    files.folders = {"C:\\Ombrix"};
    files.hidden = "C:\\Ombrix\\up_support_V7.exe";
    platform::Platform vanishing{fakes.registry, fakes.versions, files,       fakes.processes, fakes.clock,
                                 fakes.network,  fakes.window,   *fakes.http, *fakes.ftp,      fakes.packages};
    Context ctx{vanishing};
    test::DownloadEvents events2{ctx};
    http->set_events(&events2);
    ctx.req = std::move(context.req);
    ctx.session.install_dir = dir;
    ctx.session.site = context.session.site;
    ctx.session.support_available = true;
    ctx.session.support_file = "up_support_V7.exe";
    offer("http://site.test/ombrix/support_files/up_support_v7.exe", "support");

    EXPECT_THROW(download_files(ctx), ProgramEnded);
    EXPECT_EQ(fakes.window.entries("text info=").back(), "text info=Error. No Upadtes found.");
    EXPECT_TRUE(fakes.processes.starts.empty());
    // It slept between tests, within the bound and past it, rather than spinning.
    EXPECT_GE(fakes.window.waited_ms, 10'000);
    EXPECT_LE(fakes.window.waited_ms, 10'100);
}

} // namespace
} // namespace om
