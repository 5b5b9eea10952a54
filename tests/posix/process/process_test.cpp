// Starting and waiting for real programs on posix, and the Windows command-line rules they go through.
#include "install/shell_and_wait.hpp"
#include "platform/posix/command_line.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/program_search.hpp"
#include "support/support.hpp"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

namespace om::test {
namespace {

namespace fs = std::filesystem;
using platform::posix::split_windows_command_line;
using Args = std::vector<std::string>;

TEST(WindowsCommandLine, SplitsLikeCommandLineToArgv)
{
    EXPECT_EQ(split_windows_command_line("taskkill /f /im \"om_tarsel.exe\""),
              (Args{"taskkill", "/f", "/im", "om_tarsel.exe"}));
    // The program name takes no escapes: backslashes stay, quotes only group.
    EXPECT_EQ(split_windows_command_line("\"C:\\Program Files\\Om\\\" -y -o"),
              (Args{"C:\\Program Files\\Om\\", "-y", "-o"}));
    EXPECT_EQ(split_windows_command_line("  a\\b\\c  \"d e\"f g"), (Args{"a\\b\\c", "d ef", "g"}));
    // 2n backslashes before a quote: n backslashes, the quote toggles; 2n+1: n and a literal quote.
    EXPECT_EQ(split_windows_command_line("p a\\\\\"b c\" d"), (Args{"p", "a\\b c", "d"}));
    EXPECT_EQ(split_windows_command_line("p a\\\"b c"), (Args{"p", "a\"b", "c"}));
    EXPECT_EQ(split_windows_command_line("p a\\\\\\\"b"), (Args{"p", "a\\\"b"}));
    EXPECT_EQ(split_windows_command_line("p \"a\"\"b\" \"\""), (Args{"p", "a\"b", ""}));
    EXPECT_EQ(split_windows_command_line("p dir\\ \"x\\\\\""), (Args{"p", "dir\\", "x\\"}));
    EXPECT_TRUE(split_windows_command_line("   ").empty());
}

class Launch : public ::testing::Test {
protected:
    fs::path dir;
    std::unique_ptr<platform::posix::PosixProcesses> processes;
    TestPlatform tp;
    std::unique_ptr<platform::Platform> services;
    std::unique_ptr<Context> context;

    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("om_launch_" + std::to_string(::getpid()));
        fs::create_directories(dir / "with blank");
        processes = std::make_unique<platform::posix::PosixProcesses>(Args{"/manual", "a b/ombrix.html"}, tp.versions);
        services = std::make_unique<platform::Platform>(platform::Platform{tp.registry, tp.versions, tp.files,
                                                                           *processes, tp.clock, tp.network, tp.window,
                                                                           *tp.http, *tp.ftp, tp.packages});
        context = std::make_unique<Context>(*services);
    }
    void TearDown() override { fs::remove_all(dir); }

    // A shell script that records its arguments one a line, then sleeps.
    fs::path script(const fs::path& path, const std::string& seconds)
    {
        std::ofstream(path) << "#!/bin/sh\nfor a in \"$@\"; do echo \"$a\"; done > \"" << (dir / "args.txt").string()
                            << "\"\nsleep " << seconds << "\n";
        fs::permissions(path, fs::perms::owner_all);
        return path;
    }
};

TEST_F(Launch, WaitsUntilTheChildEndsAndReapsIt)
{
    script(dir / "with blank" / "pkg.exe", "0.4");
    // The quoted path is a path: "\" reads as "/".
    std::string line = "\"" + (dir / "with blank").string() + "\\pkg.exe\" -y \"-o" + dir.string() + "\"";
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(ShellAndWait(*context, line, platform::sw_min_no_activate), 0);
    const auto took = std::chrono::steady_clock::now() - begin;
    EXPECT_GE(took, std::chrono::milliseconds(380));
    EXPECT_LT(took, std::chrono::seconds(3));
    std::ifstream args(dir / "args.txt");
    std::string a, b;
    std::getline(args, a);
    std::getline(args, b);
    EXPECT_EQ(a, "-y");
    EXPECT_EQ(b, "-o" + dir.string());
}

TEST_F(Launch, MissingProgramRaisesToTheCallerWithoutWaiting)
{
    EXPECT_THROW(ShellAndWait(*context, "om_no_such_program_here /f", 6), platform::StartFailed);
    EXPECT_THROW(ShellAndWait(*context, "\"" + dir.string() + "/none.exe\"", 6), platform::StartFailed);
    // A file that is not executable cannot start either.
    std::ofstream(dir / "plain.exe") << "data";
    EXPECT_THROW(ShellAndWait(*context, (dir / "plain.exe").string(), 6), platform::StartFailed);
    EXPECT_THROW(ShellAndWait(*context, "   ", 6), platform::StartFailed);
}

TEST_F(Launch, ProgramSearchFindsNamesWithAndWithoutExeInTheCurrentFolderAndPath)
{
    script(dir / "tool.exe", "0");
    const fs::path previous = fs::current_path();
    fs::current_path(dir);
    EXPECT_EQ(platform::posix::find_program("tool", "/nonexistent/"), "./tool.exe");
    EXPECT_EQ(platform::posix::find_program("tool.exe", ""), "./tool.exe");
    fs::current_path(previous);
    EXPECT_EQ(platform::posix::find_program("tool", dir.string() + "/"), (dir / "tool.exe").string());
    EXPECT_TRUE(platform::posix::find_program("sh", "").has_value());
    EXPECT_FALSE(platform::posix::find_program("tool", "").has_value());
    // A short child found on PATH returns as soon as it ends.
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(ShellAndWait(*context, "true /f /im \"x.exe\"", 6), 0);
    EXPECT_EQ(ShellAndWait(*context, "sh -c \"exit 67\"", 6), 67);
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(2));
}

TEST_F(Launch, CommandLineTextAndOwnPath)
{
    // The arguments as the shell passed them, joined by blanks (the address's blanks are removed later).
    EXPECT_EQ(processes->command_line_text(), "/manual a b/ombrix.html");
    EXPECT_EQ(fs::path(processes->executable_path()).filename(), "posix_process_tests");
    // A process that is not a child: the wait returns at once.
    const auto begin = std::chrono::steady_clock::now();
    EXPECT_FALSE(processes->wait_for_exit(1));
    EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::milliseconds(500));
}

TEST_F(Launch, EndingTheProgramMidDownloadLeavesNoPartOfThePackage)
{
    // The real ending (the process exits at once, no destructor runs) in a child process, while a
    // package is half written, as when "Cancel" is pressed during a transfer.
    platform::posix::PosixFileSystem files;
    platform::Platform real{tp.registry, tp.versions, files,    *processes, tp.clock,
                            tp.network,  tp.window,   *tp.http, *tp.ftp,    tp.packages};
    Context downloading{real};
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        auto writer = files.begin_write(dir.string() + "\\om_exe.v.2.1.6.exe");
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
    std::vector<std::string> left;
    for (const auto& entry : fs::directory_iterator(dir))
        left.push_back(entry.path().filename().string());
    EXPECT_EQ(left, std::vector<std::string>{"with blank"});
}

} // namespace
} // namespace om::test
