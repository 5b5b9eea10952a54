#include "install/do_up.hpp"

#include "support/captured_log.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

using Strings = std::vector<std::string>;
using test::FakeProcesses;

const std::string dir = "C:\\Ombrix\\", main_exe = dir + "ombrix32.exe", key = "Software\\Kelvane\\Ombrix32";
const std::string new_msi = dir + "om_msi\\ombrix32_v2.1.6.msi", old_msi = dir + "om_msi\\ombrix32_v2.1.5.msi";
const std::string quick = dir + "om_exe.v.2.1.7.exe";

// An installation in C:\Ombrix\ with 2.1.5, its installer kept in om_msi, and 2.1.6 / 2.1.7 on offer.
struct Site {
    test::TestPlatform fakes;
    platform::Platform services = fakes.services();
    Context context{services};
    bool packages_write_exe = true;

    Site()
    {
        fakes.files.folders = {"C:\\Ombrix", "C:\\Ombrix\\om_msi"};
        put(main_exe, "2.1.5");
        put(new_msi, "MSI 2.1.6.0");
        put(old_msi, "MSI 2.1.5.0");
        put(quick, "MZ quick");
        fakes.versions.set_version(main_exe, 2, 1, 0, 5);
        fakes.registry.add_key(key);
        fakes.window.set_top(4500);
        fakes.window.log.clear();
        Session& s = context.session;
        s.install_dir = dir;
        s.uninstall_msi_path = "\"" + old_msi + "\"";
        s.msi_package_name = "ombrix32_v2.1.6.msi";
        s.exe_package_name = "om_exe.v.2.1.7.exe";
        s.web_version_parts = {2, 1, 6};
        s.last_failure_run = "[Updating {v.2.1.5<-}]";
        // An installer or package that succeeds writes the main executable of its version.
        fakes.processes.on_start = [this](const FakeProcesses::Start& start) {
            const std::uint32_t code = fakes.processes.exit_codes.empty() ? 0 : fakes.processes.exit_codes.front();
            const std::string& line = start.command_line;
            if (!packages_write_exe || (code != 0 && code < 3000 && code != 1641))
                return;
            if (line.starts_with("msiexec /uninstall"))
                fakes.files.files.erase(main_exe);
            if (line.starts_with("msiexec /package ombrix32_v2.1.6.msi"))
                put(main_exe, "2.1.6"), fakes.versions.set_version(main_exe, 2, 1, 0, 6);
            if (line.starts_with("msiexec /package \""))
                put(main_exe, "2.1.5");
            if (line.ends_with(" -y -o"))
                put(main_exe, "2.1.7"), fakes.versions.set_version(main_exe, 2, 1, 0, 7);
        };
    }

    void put(const std::string& path, const std::string& text)
    {
        fakes.files.files[path].assign(text.begin(), text.end());
    }
    std::string file(const std::string& path)
    {
        const auto found = fakes.files.files.find(path);
        return found == fakes.files.files.end() ? "<missing>" : std::string(found->second.begin(), found->second.end());
    }
    Strings status_lines() const
    {
        Strings lines;
        for (const auto& entry : fakes.window.entries("text info="))
            lines.push_back(entry.substr(std::string("text info=").size()));
        return lines;
    }
    // Each start as "command | window style | current folder".
    Strings starts() const
    {
        Strings out;
        for (const auto& s : fakes.processes.starts)
            out.push_back(s.command_line + " | " + std::to_string(s.show_window) + " | " + s.current_folder);
        return out;
    }
};

TEST(Installation, NothingToInstallRunsOnlyTheCommonBeginning)
{
    Site t;
    do_up(t.context);
    EXPECT_EQ(t.status_lines(), (Strings{"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi"}));
    EXPECT_EQ(t.fakes.window.entries("visible om_website"), Strings{"visible om_website=0"});
    EXPECT_EQ(t.fakes.window.entries("top="), Strings{"top=1500"});
    EXPECT_EQ(t.fakes.files.current, "C:\\Ombrix\\om_msi");
    EXPECT_TRUE(t.fakes.processes.starts.empty());
    EXPECT_EQ(t.file(main_exe), "2.1.5");
}

TEST(Installation, EachPathRunsItsStepsInOrderRecordsTheVersionsAndRestartsTheApplication)
{
    const std::string uninstall = "msiexec /uninstall \"" + old_msi + "\" /passive | 1 | C:\\Ombrix\\om_msi";
    const std::string install = "msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE | 1 | "
                                "C:\\Ombrix\\om_msi";
    const std::string unpack = "\"" + quick + "\" -y -o | 6 | C:\\Ombrix",
                      start = "\"" + main_exe + "\" | 2 | C:\\Ombrix";
    struct Case {
        bool msi, exe;
        Strings status, starts;
        std::string version;
    };
    const std::vector<Case> cases = {
        {true,
         true,
         {"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi", "Uninstalling Ombrix v2.1.5", "C:\\Ombrix\\om_msi",
          "Success!", "C:\\Ombrix\\om_msi", "Installing ombrix32_v2.1.6.msi", "C:\\Ombrix",
          "Installing om_exe.v.2.1.7.exe", "Success!"},
         {uninstall, install, unpack, start},
         "2.1.7"},
        {true,
         false,
         {"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi", "C:\\Ombrix\\om_msi", "Uninstalling Ombrix v2.1.5",
          "Success!", "C:\\Ombrix\\om_msi", "Installing ombrix32_v2.1.6.msi", "Success!"},
         {uninstall, install, start},
         "2.1.6"},
        {false,
         true,
         {"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi", "C:\\Ombrix", "Installing om_exe.v.2.1.7.exe",
          "Success!"},
         {unpack, start},
         "2.1.7"},
    };
    for (const auto& c : cases) {
        Site t;
        t.context.session.msi_available = c.msi;
        t.context.session.exe_available = c.exe;
        EXPECT_THROW(do_up(t.context), ProgramEnded);
        EXPECT_EQ(t.status_lines(), c.status);
        EXPECT_EQ(t.starts(), c.starts);
        EXPECT_EQ(t.fakes.processes.waits.size(), c.starts.size() - 1); // not the application
        EXPECT_EQ(t.file(main_exe), c.version);
        EXPECT_EQ(t.file(main_exe + ".previous"), "<missing>");
        EXPECT_EQ(t.fakes.registry.text(key, "LastSuccessRun"), "[Updated {v." + c.version + ": 12-04-2026 14:05:09}]");
        EXPECT_TRUE(t.fakes.window.entries("box ").empty());
    }
}

// What each package check and each exit code leads to: the programs run (u = uninstall, n = the new
// installer, o = the old installer again, q = the quick update, a = the application), the one message,
// and the main executable left in place. Only a finished path records the versions.
TEST(Installation, ChecksAndExitCodesDecideTheNextStep)
{
    struct Case {
        const char* what;
        bool msi, exe;
        std::function<void(Site&)> setup;
        std::deque<std::uint32_t> codes;
        std::string runs, message, exe_left;
        bool recorded = false;
    };
    const std::vector<Case> cases = {
        {"page as installer",
         true,
         false,
         [](auto& t) { t.put(new_msi, "<html>"); },
         {},
         "a",
         new_msi + " is not a Windows Installer package.",
         "2.1.5"},
        {"other version",
         true,
         true,
         [](auto& t) { t.put(new_msi, "MSI 2.1.7.0"); },
         {},
         "a",
         new_msi + " is version 2.1.7 where 2.1.6 was offered.",
         "2.1.5"},
        {"reused page",
         true,
         false,
         [](auto& t) { t.put(new_msi, "x"), t.context.session.skip_download = true; },
         {},
         "a",
         "is not a Windows Installer package",
         "2.1.5"},
        {"old installer missing",
         true,
         false,
         [](auto& t) { t.fakes.files.files.erase(old_msi); },
         {},
         "a",
         old_msi + ", is missing",
         "2.1.5"},
        {"quick update not a program",
         false,
         true,
         [](auto& t) { t.put(quick, "<html>"); },
         {},
         "a",
         quick + " is not a program that can be run.",
         "2.1.5"},
        {"uninstall fails",
         true,
         false,
         {},
         {1603},
         "ua",
         "Ombrix v2.1.5 could not be uninstalled (msiexec ended with code 1603). Nothing was changed.",
         "2.1.5"},
        {"not installed", true, false, {}, {1605, 0}, "una", "", "2.1.6", true},
        {"install fails",
         true,
         false,
         {},
         {0, 1603, 0},
         "unoa",
         "Ombrix v2.1.6 could not be installed (msiexec ended with code 1603).\nOmbrix v2.1.5 has been installed "
         "again.",
         "2.1.5"},
        {"rollback fails",
         true,
         true,
         {},
         {0, 1602, 1603},
         "unoa",
         "(msiexec ended with code 1602).\nPutting Ombrix v2.1.5 back failed too (msiexec ended with code 1603). To "
         "restore it, run " +
             old_msi,
         "2.1.5"},
        {"restart needed",
         true,
         false,
         {},
         {3010, 1641},
         "una",
         "Windows must be restarted to finish installing Ombrix v2.1.6.",
         "2.1.6",
         true},
        {"busy, then free", true, false, {}, {0, 1618, 1618, 0}, "unnna", "", "2.1.6", true},
        {"busy for 5 minutes",
         true,
         false,
         {},
         {0, 1618, 1618, 1618, 1618, 1618, 1618, 1618, 0},
         "unnnnnnnoa",
         "could not be installed (msiexec ended with code 1618)",
         "2.1.5"},
        {"quick update fails",
         false,
         true,
         {},
         {2},
         "qa",
         quick.substr(dir.size()) + " could not be installed (om_exe.v.2.1.7.exe ended with code 2).",
         "2.1.5"},
        {"quick update fails over the new version", true, true, {}, {0, 0, 2}, "unqa", "ended with code 2", "2.1.6"},
        {"quick update writes nothing",
         false,
         true,
         [](auto& t) { t.packages_write_exe = false; },
         {},
         "qa",
         "The installation did not finish: " + main_exe + " was not written.",
         "2.1.5"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Site t;
        t.context.session.msi_available = c.msi;
        t.context.session.exe_available = c.exe;
        if (c.setup)
            c.setup(t);
        const std::string offered_before = t.file(new_msi);
        t.fakes.processes.exit_codes = c.codes;
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
        EXPECT_EQ(boxes.size(), c.message.empty() ? 0u : 1u);
        if (!boxes.empty()) {
            EXPECT_NE(boxes[0].find(c.message), std::string::npos) << boxes[0];
        }
        EXPECT_EQ(t.file(main_exe), c.exe_left);
        EXPECT_EQ(t.file(main_exe + ".previous"), "<missing>");
        EXPECT_EQ(t.fakes.registry.text(key, "LastSuccessRun") != "<missing>", c.recorded);
        // A refused download is removed; a reused one and the old installer are kept.
        const bool refused = c.runs == "a" && c.message.starts_with(new_msi);
        EXPECT_EQ(t.file(new_msi), refused ? "<missing>" : offered_before);
        EXPECT_EQ(t.file(old_msi), c.what == std::string("old installer missing") ? "<missing>" : "MSI 2.1.5.0");
    }
    // The 1618 waits kept the window taking events, 5 s and then twice as long each time.
    Site t;
    t.context.session.msi_available = true;
    t.fakes.processes.exit_codes = {0, 1618, 1618, 0};
    EXPECT_THROW(do_up(t.context), ProgramEnded);
    EXPECT_EQ(t.fakes.window.waited_ms, 15'000);
    const Strings lines = t.status_lines();
    EXPECT_EQ(
        std::count(lines.begin(), lines.end(), "Another installation is in progress. Waiting for it to finish..."), 2);
}

// The log tells support what ran, with which code, and why the update stopped or was put back.
TEST(Installation, TheLogNamesEachCheckEachProgramWithItsCodeAndEachFailure)
{
    const std::string failed = "Ombrix v2.1.6 could not be installed (msiexec ended with code 1603).";
    struct Case {
        bool msi, exe;
        std::deque<std::uint32_t> codes;
        std::string page; // what is served as the new installer
        Strings events;
    } cases[] = {
        {true,
         false,
         {0, 1603, 0},
         "MSI 2.1.6.0",
         {"package check passed: " + new_msi, "package check passed: " + old_msi,
          "ran \"msiexec /uninstall \"" + old_msi + "\" /passive\" (window style 1): exit code 0 after 0.0 s",
          "ran \"msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE\" (window style 1): exit code "
          "1603 after 0.0 s",
          "installation failed: " + failed + " Installing " + old_msi + " again",
          "started \"\"" + main_exe + "\"\" (window style 2)"}},
        {false,
         true,
         {2},
         "MSI 2.1.6.0",
         {"package check passed: " + quick, "put " + main_exe + ".previous back as " + main_exe}},
        {true, false, {}, "<html>", {"package refused: " + new_msi + " is not a Windows Installer package."}},
    };
    for (const Case& c : cases) {
        test::CapturedLog log;
        Site t;
        t.context.session.msi_available = c.msi;
        t.context.session.exe_available = c.exe;
        t.put(new_msi, c.page);
        t.fakes.processes.exit_codes = c.codes;
        EXPECT_THROW(do_up(t.context), ProgramEnded);
        for (const std::string& event : c.events)
            EXPECT_TRUE(log.has(event)) << event << "\n" << log.text();
    }
}

} // namespace
} // namespace om
