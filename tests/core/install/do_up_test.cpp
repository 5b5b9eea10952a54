#include "install/do_up.hpp"

#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

using Strings = std::vector<std::string>;
using test::FakeProcesses;

struct Installation : ::testing::Test {
    const std::string main_exe = "C:\\Ombrix\\ombrix32.exe";
    const std::string key = "Software\\Kelvane\\Ombrix32";
    test::TestPlatform fakes;
    platform::Platform services = fakes.services();
    Context context{services};
    Strings order; // what happened, in order: starts and the main executable's comings and goings

    Installation()
    {
        fakes.files.folders = {"C:\\Ombrix", "C:\\Ombrix\\om_msi"};
        fakes.files.files[main_exe] = {};
        fakes.versions.set_version(main_exe, 2, 1, 0, 5);
        fakes.registry.add_key(key);
        fakes.window.set_top(4500);
        fakes.window.log.clear();
        Session& s = context.session;
        s.install_dir = "C:\\Ombrix\\";
        s.uninstall_msi_path = "\"C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi\"";
        s.msi_package_name = "ombrix32_v2.1.6.msi";
        s.exe_package_name = "om_exe.v.2.1.7.exe";
        s.last_failure_run = "[Updating {v.2.1.5<-}]";
        // The installer and the package write the main executable of the new version.
        fakes.processes.on_start = [this](const FakeProcesses::Start& start) {
            order.push_back(start.command_line + (fakes.files.file_exists(main_exe) ? " (exe present)" : ""));
            if (start.command_line.rfind("msiexec /package", 0) == 0) {
                fakes.files.files[main_exe] = {};
                fakes.versions.set_version(main_exe, 2, 1, 0, 6);
            }
            if (start.command_line.find(" -y -o") != std::string::npos) {
                fakes.files.files[main_exe] = {};
                fakes.versions.set_version(main_exe, 2, 1, 0, 7);
            }
        };
    }

    Strings status_lines() const
    {
        Strings lines;
        for (const auto& entry : fakes.window.entries("text info="))
            lines.push_back(entry.substr(std::string("text info=").size()));
        return lines;
    }

    Strings starts() const
    {
        Strings out;
        for (const auto& s : fakes.processes.starts)
            out.push_back(s.command_line + " | " + std::to_string(s.show_window) + " | " + s.current_folder);
        return out;
    }
};

TEST_F(Installation, NothingToInstallRunsOnlyTheCommonBeginning)
{
    do_up(context);
    EXPECT_EQ(status_lines(), (Strings{"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi"}));
    EXPECT_EQ(fakes.window.entries("visible om_website"), Strings{"visible om_website=0"});
    EXPECT_EQ(fakes.window.entries("top="), Strings{"top=1500"});
    EXPECT_EQ(fakes.files.current, "C:\\Ombrix\\om_msi");
    EXPECT_TRUE(fakes.processes.starts.empty());
    EXPECT_TRUE(fakes.files.file_exists(main_exe));
    EXPECT_EQ(fakes.processes.ended, 0);
}

TEST_F(Installation, FullInstallerThenQuickUpdate)
{
    context.session.msi_available = context.session.exe_available = true;
    EXPECT_THROW(do_up(context), ProgramEnded);
    EXPECT_EQ(status_lines(),
              (Strings{"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi", "Uninstalling Ombrix v2.1.5",
                       "C:\\Ombrix\\om_msi", "Success!", "C:\\Ombrix\\om_msi", "Installing ombrix32_v2.1.6.msi",
                       "C:\\Ombrix", "Installing om_exe.v.2.1.7.exe", "Success!"}));
    EXPECT_EQ(
        starts(),
        (Strings{"msiexec /uninstall \"C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi\" /passive | 1 | C:\\Ombrix\\om_msi",
                 "msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE | 1 | C:\\Ombrix\\om_msi",
                 "\"C:\\Ombrix\\om_exe.v.2.1.7.exe\" -y -o | 6 | C:\\Ombrix",
                 "\"C:\\Ombrix\\ombrix32.exe\" | 2 | C:\\Ombrix"}));
    // The three runs are waited for one after the other; the application start is not.
    EXPECT_EQ(fakes.processes.waits, (std::vector<std::uint32_t>{1001, 1002, 1003}));
    // The old executable went before the uninstall; the quick update ran over the new version.
    EXPECT_EQ(order.at(0), "msiexec /uninstall \"C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi\" /passive");
    EXPECT_EQ(order.at(2), "\"C:\\Ombrix\\om_exe.v.2.1.7.exe\" -y -o (exe present)");
    // The versions after the installation are recorded.
    EXPECT_EQ(fakes.registry.text(key, "LastFailureRun"), "[Updating [Updating {v.2.1.7<-v.2.1.5<-]}]");
    EXPECT_EQ(fakes.registry.text(key, "LastSuccessRun"), "[Updated {v.2.1.7: 12-04-2026 14:05:09}]");
    EXPECT_EQ(fakes.processes.ended, 1);
}

TEST_F(Installation, FullInstallerOnly)
{
    context.session.msi_available = true;
    EXPECT_THROW(do_up(context), ProgramEnded);
    EXPECT_EQ(status_lines(), (Strings{"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi", "C:\\Ombrix\\om_msi",
                                       "Uninstalling Ombrix v2.1.5", "Success!", "C:\\Ombrix\\om_msi",
                                       "Installing ombrix32_v2.1.6.msi", "Success!"}));
    EXPECT_EQ(
        starts(),
        (Strings{"msiexec /uninstall \"C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi\" /passive | 1 | C:\\Ombrix\\om_msi",
                 "msiexec /package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE | 1 | C:\\Ombrix\\om_msi",
                 "\"C:\\Ombrix\\ombrix32.exe\" | 2 | C:\\Ombrix"}));
    EXPECT_EQ(fakes.registry.text(key, "LastSuccessRun"), "[Updated {v.2.1.6: 12-04-2026 14:05:09}]");
}

TEST_F(Installation, QuickUpdateWaitsForThePackageToWriteANewExecutable)
{
    context.session.exe_available = true;
    // This package hands its work to another process: the executable shows up a few events later.
    fakes.processes.on_start = [this](const FakeProcesses::Start& start) {
        order.push_back(start.command_line + (fakes.files.file_exists(main_exe) ? " (exe present)" : ""));
    };
    int events = 0;
    fakes.window.on_yield = [&] {
        if (!fakes.processes.starts.empty() && ++events == 20)
            fakes.files.files[main_exe] = {};
    };
    EXPECT_THROW(do_up(context), ProgramEnded);
    EXPECT_EQ(status_lines(), (Strings{"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi", "C:\\Ombrix",
                                       "Installing om_exe.v.2.1.7.exe", "Success!"}));
    EXPECT_EQ(order,
              (Strings{"\"C:\\Ombrix\\om_exe.v.2.1.7.exe\" -y -o", "\"C:\\Ombrix\\ombrix32.exe\" (exe present)"}));
    // The wait slept in the message loop between its tests.
    EXPECT_EQ(fakes.window.waited_ms, 50 * (20 - 3));
}

TEST_F(Installation, MissingOldExecutableAndFailingStepsAreSkipped)
{
    fakes.files.files.erase(main_exe);
    fakes.processes.missing_programs = {"msiexec"};
    context.session.msi_available = true;
    // Without an installer nothing brings the executable back; the user ends the program from the
    // window (Cancel) while the updater waits.
    int waits = 0;
    fakes.window.on_yield = [&] {
        if (fakes.window.waited_ms > 0 && ++waits == 5)
            fakes.processes.end_program();
    };
    EXPECT_THROW(do_up(context), ProgramEnded);
    const Strings lines = status_lines();
    EXPECT_EQ(lines,
              (Strings{"C:\\Ombrix\\", "C:\\Ombrix", "C:\\Ombrix\\om_msi", "C:\\Ombrix\\om_msi",
                       "Uninstalling Ombrix v", "Success!", "C:\\Ombrix\\om_msi", "Installing ombrix32_v2.1.6.msi"}));
    EXPECT_TRUE(fakes.processes.starts.empty());
    EXPECT_EQ(fakes.registry.text(key, "LastSuccessRun"), "<missing>");
}

TEST_F(Installation, AWaitThatCannotEndSaysSoAfterAMinuteAndEnds)
{
    // A package that exits without writing the executable: after a minute of waiting in the message
    // loop the user is told, nothing is recorded or started, and the program ends.
    context.session.exe_available = true;
    fakes.processes.on_start = [](const FakeProcesses::Start&) {};
    EXPECT_THROW(do_up(context), ProgramEnded);
    EXPECT_EQ(fakes.window.entries("box "),
              Strings{"box The installation did not finish: C:\\Ombrix\\ombrix32.exe was not written."});
    EXPECT_GE(fakes.window.waited_ms, 60'000);
    EXPECT_LT(fakes.window.waited_ms, 61'000);
    EXPECT_EQ(fakes.processes.starts.size(), 1u); // the package, not the application
    EXPECT_EQ(fakes.registry.text(key, "LastSuccessRun"), "<missing>");

    // An executable that neither the updater nor the uninstaller can remove.
    test::TestPlatform stuck;
    platform::Platform stuck_services = stuck.services();
    Context stuck_context{stuck_services};
    stuck.files.folders = {"C:\\Ombrix", "C:\\Ombrix\\om_msi"};
    stuck.files.files[main_exe] = {};
    stuck.files.undeletable.insert(main_exe);
    stuck.versions.set_version(main_exe, 2, 1, 0, 5);
    stuck_context.session.install_dir = "C:\\Ombrix\\";
    stuck_context.session.msi_available = true;
    EXPECT_THROW(do_up(stuck_context), ProgramEnded);
    EXPECT_EQ(stuck.window.entries("box "),
              Strings{"box Ombrix v2.1.5 could not be uninstalled: C:\\Ombrix\\ombrix32.exe is still there."});
    EXPECT_EQ(stuck.processes.starts.size(), 1u); // the uninstaller only
}

} // namespace
} // namespace om
