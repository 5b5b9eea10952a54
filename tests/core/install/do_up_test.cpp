// do_up's three paths, what each package check and exit code leads to, and what the run log says.
#include "install/do_up.hpp"

#include "support/captured_log.hpp"
#include "support/test_platform.hpp"

#include <gtest/gtest.h>
#include <sstream>

namespace om {
namespace {

using Strings = std::vector<std::string>;

const std::string dir = "C:\\Ombrix\\", main_exe = dir + "ombrix32.exe", key = "Software\\Kelvane\\Ombrix32";
const std::string new_msi = dir + "om_msi\\ombrix32_v2.1.6.msi", old_msi = dir + "om_msi\\ombrix32_v2.1.5.msi";
const std::string quick = dir + "om_exe.v.2.1.7.exe";

// An installation in C:\Ombrix\ with 2.1.5, its installer kept in om_msi, and 2.1.6 / 2.1.7 on offer
// (msi: the full installer, exe: the quick update). An installer or package that succeeds writes the
// main executable of its version; the old installer writes "2.1.5 again".
struct Site {
    test::TestPlatform fakes;
    platform::Platform services = fakes.services();
    Context context{services};
    Session& s = context.session;
    bool packages_write_exe = true;

    Site(bool msi, bool exe, const std::string& codes = "")
    {
        std::istringstream in(codes);
        for (std::uint32_t code; in >> code;)
            fakes.processes.exit_codes.push_back(code);
        fakes.files.folders = {"C:\\Ombrix", "C:\\Ombrix\\om_msi"};
        for (const auto& [path, content] :
             {std::pair{main_exe, "2.1.5"}, {new_msi, "MSI 2.1.6.0"}, {old_msi, "MSI 2.1.5.0"}, {quick, "MZ quick"}})
            fakes.files.put(path, content);
        fakes.versions.set_version(main_exe, 2, 1, 0, 5);
        fakes.registry.add_key(key);
        fakes.window.set_top(4500);
        fakes.window.log.clear();
        s.install_dir = dir;
        s.uninstall_msi_path = "\"" + old_msi + "\"";
        s.msi_package_name = "ombrix32_v2.1.6.msi";
        s.exe_package_name = "om_exe.v.2.1.7.exe";
        s.web_version_parts = {2, 1, 6};
        s.msi_available = msi;
        s.exe_available = exe;
        fakes.processes.on_start = [this](const test::FakeProcesses::Start& start) {
            const std::uint32_t code = fakes.processes.exit_codes.empty() ? 0 : fakes.processes.exit_codes.front();
            const std::string& line = start.command_line;
            if (!packages_write_exe || (code != 0 && code < 3000 && code != 1641))
                return;
            if (line.starts_with("msiexec /uninstall"))
                fakes.files.files.erase(main_exe);
            if (line.starts_with("msiexec /package ombrix32_v2.1.6.msi"))
                put(main_exe, "2.1.6"), fakes.versions.set_version(main_exe, 2, 1, 0, 6);
            if (line.starts_with("msiexec /package \""))
                put(main_exe, "2.1.5 again");
            if (line.ends_with(" -y -o"))
                put(main_exe, "2.1.7"), fakes.versions.set_version(main_exe, 2, 1, 0, 7);
        };
    }
    void put(const std::string& path, const std::string& text) { fakes.files.put(path, text); }
    // The main executable and the one kept aside ("" when there is none).
    std::string exes() const
    {
        return fakes.files.content(main_exe) + "|" + fakes.files.content(main_exe + ".previous");
    }
    // The texts shown in the info label, joined by "|".
    std::string status_lines() const
    {
        std::string lines;
        for (const auto& entry : fakes.window.entries("text info="))
            lines += (lines.empty() ? "" : "|") + entry.substr(10);
        return lines;
    }
};

TEST(Installation, EachPathRunsItsStepsInOrderRecordsTheVersionsAndRestartsTheApplication)
{
    Site nothing(false, false); // nothing on offer: only the common beginning runs
    EXPECT_FALSE(test::ends_program([&] { do_up(nothing.context); }));
    EXPECT_EQ(nothing.status_lines(), "C:\\Ombrix\\|C:\\Ombrix|C:\\Ombrix\\om_msi");
    EXPECT_TRUE(nothing.fakes.processes.starts.empty());
    // Each start as "command | window style | current folder".
    const std::string uninstall = "msiexec /uninstall \"" + old_msi + "\" /passive | 1 | C:\\Ombrix\\om_msi\n";
    const std::string install =
        "msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE | 1 | C:\\Ombrix\\om_msi\n";
    const std::string unpack = "\"" + quick + "\" -y -o | 6 | C:\\Ombrix\n";
    const std::string start = "\"" + main_exe + "\" | 2 | C:\\Ombrix\n";
    const std::string begin = "C:\\Ombrix\\|C:\\Ombrix|C:\\Ombrix\\om_msi|";
    struct Case {
        bool msi, exe;
        std::string status, starts, version;
    } cases[] = {
        {true, true,
         begin + "Uninstalling Ombrix v2.1.5|C:\\Ombrix\\om_msi|Success!|C:\\Ombrix\\om_msi|Installing "
                 "ombrix32_v2.1.6.msi|C:\\Ombrix|Installing om_exe.v.2.1.7.exe|Success!",
         uninstall + install + unpack + start, "2.1.7"},
        {true, false,
         begin + "C:\\Ombrix\\om_msi|Uninstalling Ombrix v2.1.5|Success!|C:\\Ombrix\\om_msi|Installing "
                 "ombrix32_v2.1.6.msi|Success!",
         uninstall + install + start, "2.1.6"},
        {false, true, begin + "C:\\Ombrix|Installing om_exe.v.2.1.7.exe|Success!", unpack + start, "2.1.7"},
    };
    for (const auto& c : cases) {
        test::CapturedLog log;
        Site t(c.msi, c.exe);
        EXPECT_THROW(do_up(t.context), ProgramEnded);
        EXPECT_EQ(t.status_lines(), c.status);
        std::string starts;
        for (const auto& s : t.fakes.processes.starts)
            starts += s.command_line + " | " + std::to_string(s.show_window) + " | " + s.current_folder + "\n";
        EXPECT_EQ(starts, c.starts);
        EXPECT_EQ(t.fakes.processes.waits.size(), t.fakes.processes.starts.size() - 1); // not the application
        EXPECT_EQ(t.exes(), c.version + "|");
        EXPECT_EQ(t.fakes.registry.text(key, "LastSuccessRun"), "[Updated {v." + c.version + ": 12-04-2026 14:05:09}]");
        EXPECT_EQ(t.fakes.window.entries("visible"), Strings{"visible om_website=0"});
        EXPECT_EQ(t.fakes.window.entries("top="), Strings{"top=1500"});
        // What ran, with its code, and what was started is in the log.
        EXPECT_TRUE(log.has("package check passed: " + (c.msi ? old_msi : quick))) << log.text();
        EXPECT_TRUE(log.has("started \"\"" + main_exe + "\"\" (window style 2)")) << log.text();
        EXPECT_EQ(log.has("ran \"msiexec /uninstall \"" + old_msi +
                          "\" /passive\" (window style 1): exit code 0 after 0.0 s"),
                  c.msi);
    }
}

// The programs run (u = uninstall, n = the new installer, o = the old installer again, q = the quick
// update, a = the application), the one message, the main executable left in place and the log's word.
// Only a finished path records the versions; a refused download is removed, a reused one kept.
TEST(Installation, ChecksAndExitCodesDecideTheNextStep)
{
    struct Case {
        const char* what;
        bool msi, exe;
        std::function<void(Site&)> setup;
        const char* codes; // exit codes of the waited programs, in order
        std::string runs, message, exe_left, logged = "";
    };
    const std::string not_installed = "Ombrix v2.1.6 could not be installed (msiexec ended with code ";
    const Case cases[] = {
        {"page as installer", true, false, [](auto& t) { t.put(new_msi, "<html>"); }, "", "a",
         new_msi + " is not a Windows Installer package.", "2.1.5",
         "package refused: " + new_msi + " is not a Windows Installer package."},
        {"other version", true, true, [](auto& t) { t.put(new_msi, "MSI 2.1.7.0"); }, "", "a",
         new_msi + " is version 2.1.7 where 2.1.6 was offered.", "2.1.5"},
        {"reused page", true, false, [](auto& t) { t.put(new_msi, "x"), t.s.skip_download = true; }, "", "a",
         "is not a Windows Installer package", "2.1.5"},
        {"old installer refused", true, false, [](auto& t) { t.put(old_msi, "<html>"); }, "", "a",
         "is not a Windows Installer package", "2.1.5"},
        {"old installer missing", true, false, [](auto& t) { t.fakes.files.files.erase(old_msi); }, "", "a",
         old_msi + ", is missing", "2.1.5"},
        {"quick update not a program", false, true, [](auto& t) { t.put(quick, "<html>"); }, "", "a",
         quick + " is not a program that can be run.", "2.1.5"},
        {"uninstall fails", true, false, nullptr, "1603", "ua",
         "Ombrix v2.1.5 could not be uninstalled (msiexec ended with code 1603). Nothing was changed.", "2.1.5"},
        {"not installed", true, false, nullptr, "1605 0", "una", "", "2.1.6"},
        {"install fails", true, false, nullptr, "0 1603 0", "unoa",
         not_installed + "1603).\nOmbrix v2.1.5 has been installed again.", "2.1.5 again",
         "installation failed: " + not_installed + "1603). Installing " + old_msi + " again"},
        {"rollback fails", true, true, nullptr, "0 1602 1603", "unoa",
         "(msiexec ended with code 1602).\nPutting Ombrix v2.1.5 back failed too (msiexec ended with code 1603). To "
         "restore it, run " +
             old_msi,
         "2.1.5"},
        {"restart needed", true, false, nullptr, "3010 1641", "una",
         "Windows must be restarted to finish installing Ombrix v2.1.6.", "2.1.6"},
        {"busy, then free", true, false, nullptr, "0 1618 1618 0", "unnna", "", "2.1.6"},
        {"busy for 5 minutes", true, false, nullptr, "0 1618 1618 1618 1618 1618 1618 1618 0", "unnnnnnnoa",
         not_installed + "1618)", "2.1.5 again"},
        {"quick update fails", false, true, nullptr, "2", "qa",
         "om_exe.v.2.1.7.exe could not be installed (om_exe.v.2.1.7.exe ended with code 2).", "2.1.5",
         "put " + main_exe + ".previous back as " + main_exe},
        {"quick update fails over the new version", true, true, nullptr, "0 0 2", "unqa", "ended with code 2", "2.1.6"},
        {"quick update writes nothing", false, true, [](auto& t) { t.packages_write_exe = false; }, "", "qa",
         "The installation did not finish: " + main_exe + " was not written.", "2.1.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        test::CapturedLog log;
        Site t(c.msi, c.exe, c.codes);
        if (c.setup)
            c.setup(t);
        const std::string offered_before = t.fakes.files.content(new_msi), old_before = t.fakes.files.content(old_msi);
        EXPECT_THROW(do_up(t.context), ProgramEnded);
        std::string runs;
        for (const auto& start : t.fakes.processes.starts) {
            const std::string& line = start.command_line;
            runs += line.starts_with("msiexec /u")           ? 'u'
                    : line.starts_with("msiexec /package o") ? 'n'
                    : line.starts_with("msiexec")            ? 'o'
                    : line.ends_with("-y -o")                ? 'q'
                                                             : 'a';
        }
        EXPECT_EQ(runs, c.runs);
        const Strings boxes = t.fakes.window.entries("box ");
        ASSERT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
        EXPECT_TRUE(c.message.empty() || boxes[0].find(c.message) != std::string::npos) << boxes[0];
        EXPECT_EQ(t.exes(), c.exe_left + "|");
        EXPECT_EQ(t.fakes.registry.text(key, "LastSuccessRun") != "<missing>",
                  c.message.find("Windows must") == 0 || c.message.empty());
        const bool refused = c.runs == "a" && c.message.starts_with(new_msi);
        EXPECT_EQ(t.fakes.files.content(new_msi), refused ? "" : offered_before);
        EXPECT_EQ(t.fakes.files.content(old_msi), old_before); // kept, even when refused
        EXPECT_TRUE(c.logged.empty() || log.has(c.logged)) << log.text();
    }
}

TEST(Installation, WhileAnotherInstallationRunsTheWindowTakesEventsFiveSecondsThenTwiceAsLong)
{
    Site t(true, false, "0 1618 1618 0");
    EXPECT_THROW(do_up(t.context), ProgramEnded);
    EXPECT_EQ(t.fakes.window.waited_ms, 15'000);
    const std::string waiting = "|Another installation is in progress. Waiting for it to finish...|Installing "
                                "ombrix32_v2.1.6.msi";
    EXPECT_TRUE(t.status_lines().ends_with(waiting + waiting + "|Success!")) << t.status_lines();
}

} // namespace
} // namespace om
