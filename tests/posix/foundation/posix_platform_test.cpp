// What only the posix layer does: the registry file (how it treats a file it cannot parse or one that
// another process rewrote), Windows command lines, and the ending of the program mid-download.
#include "app/context.hpp"
#include "platform/posix/command_line.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/version_reader.hpp"
#include "posix/foundation/temp_folder.hpp"
#include "state/crash_detector.hpp"
#include "support/test_platform.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <unistd.h>

namespace om {
namespace {

using platform::KeyAccess;
using platform::posix::RegistryFile;

const std::string key = app_key_path;

std::string read_text(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_text(const std::string& path, const std::string& text)
{
    std::ofstream(path, std::ios::binary) << text;
}

struct RegistryFileTest : ::testing::Test {
    test::TempFolder folder;
    std::string file = folder.file("HKEY_CURRENT_USER.reg");
    RegistryFile registry{file};

    std::size_t files_in_folder()
    {
        return static_cast<std::size_t>(std::distance(std::filesystem::directory_iterator(folder.path()), {}));
    }
};

TEST_F(RegistryFileTest, AFileThatDoesNotParseReadsEmptyAndIsNeverOverwritten)
{
    const std::vector<std::string> broken = {
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n\"exepath\"=\"C:\\\\x\\\\\"\nnonsense\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n\"unterminated\"=\"abc\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n\"b\"=hex:01,zz\n",
        "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n\"b\"=hex:01,\\\n",
        "REGEDIT4\n\"value before any key\"=\"x\"\n",
        "Windows Registry Editor Version 4.00\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n",
        std::string("\xff\xfe\x00\xd8", 4), // UTF-16 with an unpaired surrogate
    };
    for (const std::string& contents : broken) {
        SCOPED_TRACE(contents);
        write_text(file, contents);
        AppRecord record = read_app_record(registry);
        EXPECT_EQ(record.exepath, "");
        write_last_failure_run(registry, "[Updating {v.0.0.0<-}]");
        write_file_versions(registry, "x");
        auto opened = registry.open_current_user(key, KeyAccess::set_value);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->query("exepath"), std::nullopt);
        EXPECT_NE(opened->set("exepath", 1, {0}), 0);
        EXPECT_EQ(read_text(file), contents);
        EXPECT_EQ(files_in_folder(), 1u);
    }
}

TEST_F(RegistryFileTest, WritesReplaceTheFileWholeAndSeeOtherWriters)
{
    // No file: no key, and nothing creates one.
    EXPECT_EQ(registry.open_current_user(key, KeyAccess::set_value), nullptr);
    write_last_failure_run(registry, "x");
    EXPECT_FALSE(std::filesystem::exists(file));

    write_text(file,
               "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\r\n\"exepath\"=\"/opt/om/\"\r\n");
    auto opened = registry.open_current_user(key, KeyAccess::set_value);
    ASSERT_TRUE(opened);
    // Another process adds a value after the key was opened; the next write keeps it.
    write_text(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\r\n\"exepath\"=\"/opt/om/\"\r\n"
                     "\"InstallDate\"=\"20240101\"\r\n");
    EXPECT_EQ(set_reg_value(*opened, "LastSuccessRun", platform::reg_sz, RegValue{"done", 0}), 0);
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "InstallDate"), "20240101");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "LastSuccessRun"), "done");
    EXPECT_EQ(files_in_folder(), 1u);

    // The key removed by another process: the write through the old handle fails and adds nothing.
    write_text(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Else]\r\n");
    EXPECT_NE(set_reg_value(*opened, "LastSuccessRun", platform::reg_sz, RegValue{"again", 0}), 0);
    EXPECT_EQ(registry.open_current_user(key, KeyAccess::query_value), nullptr);
}

TEST(WindowsCommandLine, SplitsLikeCommandLineToArgv)
{
    using Args = std::vector<std::string>;
    const std::pair<std::string, Args> cases[] = {
        {"taskkill /f /im \"om_tarsel.exe\"", {"taskkill", "/f", "/im", "om_tarsel.exe"}},
        // The program name takes no escapes: backslashes stay, quotes only group.
        {"\"C:\\Program Files\\Om\\\" -y -o", {"C:\\Program Files\\Om\\", "-y", "-o"}},
        {"  a\\b\\c  \"d e\"f g", {"a\\b\\c", "d ef", "g"}},
        // 2n backslashes before a quote: n backslashes, the quote toggles; 2n+1: n and a literal quote.
        {"p a\\\\\"b c\" d", {"p", "a\\b c", "d"}},
        {"p a\\\"b c", {"p", "a\"b", "c"}},
        {"p a\\\\\\\"b", {"p", "a\\\"b"}},
        {"p \"a\"\"b\" \"\"", {"p", "a\"b", ""}},
        {"p dir\\ \"x\\\\\"", {"p", "dir\\", "x\\"}},
        {"   ", {}},
    };
    for (const auto& [line, args] : cases)
        EXPECT_EQ(platform::posix::split_windows_command_line(line), args) << line;
}

TEST(PosixEnding, EndingTheProgramMidDownloadLeavesNoPartOfThePackage)
{
    // The real ending (the process exits at once, no destructor runs) in a child process, while a
    // package is half written, as when "Cancel" is pressed during a transfer.
    test::TempFolder folder;
    test::TestPlatform fakes;
    platform::posix::VersionReader versions;
    platform::posix::PosixProcesses processes({}, versions);
    platform::posix::PosixFileSystem files;
    platform::Platform real{fakes.registry, versions,     files,       processes,  fakes.clock,
                            fakes.network,  fakes.window, *fakes.http, *fakes.ftp, fakes.packages};
    Context downloading{real};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto writer = files.begin_write(folder.path() + "\\om_exe.v.2.1.6.exe");
        const std::uint8_t half[] = {'M', 'Z', 0, 1};
        if (!writer || !writer->write(half))
            std::_Exit(2);
        downloading.download.sink = writer.get();
        downloading.download.sink_owner = std::move(writer);
        downloading.end_program();
    }
    int status = -1;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

} // namespace
} // namespace om
