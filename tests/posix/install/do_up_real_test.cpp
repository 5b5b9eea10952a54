// do_up over the real posix file system and process launcher: an installation folder with a blank in
// its name, a stand-in "msiexec" on PATH that installs and uninstalls ombrix32.exe, a real
// self-extracting package, and the restarted application leaving its "started.txt".
#include "install/do_up.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/version_reader.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

namespace om {
namespace {

namespace fs = std::filesystem;

// Real processes, but ending the program is observable instead of ending the test.
class TestProcesses : public platform::posix::PosixProcesses {
public:
    using PosixProcesses::PosixProcesses;
    [[noreturn]] void end_program() override { throw ProgramEnded{0}; }
};

std::string read_file(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

void run(const std::string& command)
{
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
}

struct RealInstallation : ::testing::Test {
    const fs::path programs = std::getenv("OM_TEST_PROGRAMS") ? std::getenv("OM_TEST_PROGRAMS") : "";
    const fs::path source = std::getenv("OM_SOURCE_DIR") ? std::getenv("OM_SOURCE_DIR") : "";
    fs::path root;
    fs::path dir; // the installation folder
    std::string old_path = std::getenv("PATH") ? std::getenv("PATH") : "";

    test::TestPlatform fakes;
    platform::posix::PosixFileSystem files;
    platform::posix::VersionReader versions;
    TestProcesses processes{{}, versions};
    platform::Platform services{fakes.registry, versions,     files,       processes,  fakes.clock,
                                fakes.network,  fakes.window, *fakes.http, *fakes.ftp, fakes.packages};
    Context context{services};

    void SetUp() override
    {
        ASSERT_FALSE(programs.empty()) << "OM_TEST_PROGRAMS not set";
        root = fs::temp_directory_path() / ("om-h6-do-up-" + std::to_string(::getpid()));
        fs::remove_all(root);
        dir = root / "Ombrix Test";
        fs::create_directories(dir / "om_msi");
        fs::create_directories(root / "bin");
        fs::copy_file(programs / "ombrix32_2.1.5.exe", dir / "ombrix32.exe");
        // msiexec: notes each call with its folder; /package installs 2.1.6, /uninstall removes the file.
        std::ofstream msiexec(root / "bin" / "msiexec");
        msiexec << "#!/bin/sh\n"
                << "echo \"$PWD|$*\" >>'" << (root / "msiexec.log").string() << "'\n"
                << "case \"$1\" in\n"
                << "  /package) [ -f \"$2\" ] && cp '" << (programs / "ombrix32_2.1.6.exe").string() << "' '"
                << (dir / "ombrix32.exe").string() << "' ;;\n"
                << "  /uninstall) rm -f '" << (dir / "ombrix32.exe").string() << "' ;;\n"
                << "esac\n";
        msiexec.close();
        fs::permissions(root / "bin" / "msiexec", fs::perms::owner_all, fs::perm_options::add);
        ::setenv("PATH", ((root / "bin").string() + ":" + old_path).c_str(), 1);

        fakes.registry.add_key("Software\\Kelvane\\Ombrix32");
        Session& s = context.session;
        s.install_dir = dir.string() + "/";
        s.uninstall_msi_path = "\"" + (dir / "om_msi" / "ombrix32_v2.1.5.msi").string() + "\"";
        s.msi_package_name = "ombrix32_v2.1.6.msi";
        s.exe_package_name = "om_exe.v.15.0.1.exe";
        std::ofstream(dir / "om_msi" / "ombrix32_v2.1.6.msi") << "installer";
        run("'" + (source / "tests/programs/posix/make_sfx_package.sh").string() + "' '" +
            (dir / s.exe_package_name).string() + "' ombrix32.exe='" + (programs / "v15_0_0_1.exe").string() + "'");
    }

    void TearDown() override
    {
        ::setenv("PATH", old_path.c_str(), 1);
        // do_up left the process in the installation folder.
        fs::current_path(fs::temp_directory_path());
        fs::remove_all(root);
    }

    // The restarted application is not waited for; it writes "started.txt" soon after. The file
    // exists before its line is written, so wait for a whole line, not for the file.
    std::string started_text()
    {
        std::string text;
        for (int i = 0; i < 100; ++i) {
            text = read_file(dir / "started.txt");
            if (!text.empty() && text.back() == '\n')
                break;
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
        return text;
    }
};

TEST_F(RealInstallation, FullInstallerThenQuickUpdateInAFolderWithABlank)
{
    context.session.msi_available = context.session.exe_available = true;
    EXPECT_THROW(do_up(context), ProgramEnded);

    const std::string om_msi = (dir / "om_msi").string();
    EXPECT_EQ(read_file(root / "msiexec.log"),
              om_msi + "|/uninstall " + om_msi + "/ombrix32_v2.1.5.msi /passive\n" + om_msi +
                  "|/package ombrix32_v2.1.6.msi /passive DISABLEADVTSHORTCUTS=TRUE\n");
    // The quick update unpacked over the new installation: its executable is the one that runs.
    EXPECT_EQ(read_file(dir / "ombrix32.exe"), read_file(programs / "v15_0_0_1.exe"));
    EXPECT_EQ(fakes.registry.text("Software\\Kelvane\\Ombrix32", "LastSuccessRun"),
              "[Updated {v.15.0.1: 12-04-2026 14:05:09}]");
    EXPECT_NE(started_text().find("ombrix32.exe"), std::string::npos);
    const auto lines = fakes.window.entries("text info=");
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines.back(), "text info=Success!");
    EXPECT_NE(std::find(lines.begin(), lines.end(), "text info=Uninstalling Ombrix v2.1.5"), lines.end());
}

TEST_F(RealInstallation, QuickUpdateAloneReplacesTheExecutable)
{
    context.session.exe_available = true;
    EXPECT_THROW(do_up(context), ProgramEnded);
    EXPECT_FALSE(fs::exists(root / "msiexec.log"));
    EXPECT_EQ(read_file(dir / "ombrix32.exe"), read_file(programs / "v15_0_0_1.exe"));
    EXPECT_EQ(context.session.installed_version, "15.0.1");
    EXPECT_NE(started_text().find("ombrix32.exe"), std::string::npos);
}

} // namespace
} // namespace om
