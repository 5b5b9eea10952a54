// Starting, waiting for and stopping real programs under Windows (Wine).
#include "install/shell_and_wait.hpp"
#include "platform/win32/processes.hpp"
#include "support/support.hpp"

#include <chrono>
#include <cstdlib>
#include <gtest/gtest.h>
#include <windows.h>

namespace om::test {
namespace {

using Clock = std::chrono::steady_clock;

// The stand-in program as a Windows path (the tests' folder is a Unix path, seen through drive Z:).
std::string stand_in_path()
{
    const char* folder = std::getenv("OM_TEST_PROGRAMS");
    std::string path = std::string("Z:") + (folder ? folder : "") + "/v15_0_0_1.exe";
    for (char& c : path)
        if (c == '/')
            c = '\\';
    return path;
}

class Launch : public ::testing::Test {
protected:
    TestPlatform tp;
    platform::win32::Win32Processes processes;
    platform::Platform services{tp.registry, tp.versions, tp.files, processes, tp.clock,
                                tp.network,  tp.window,   *tp.http, *tp.ftp,   tp.packages};
    Context context{services};

    void sleep_ms(const char* ms) { ::SetEnvironmentVariableA("OM_STAND_IN_SLEEP_MS", ms); }
};

TEST(CommandLineText, TextAfterTheProgramName)
{
    using platform::win32::arguments_after_program;
    EXPECT_EQ(arguments_after_program("\"C:\\Program Files\\Om\\om_updat.exe\" /manual host/ombrix.html"),
              "/manual host/ombrix.html");
    EXPECT_EQ(arguments_after_program("om_updat.exe   /skip_down  x"), "/skip_down  x");
    EXPECT_EQ(arguments_after_program("C:\\Om\\om_updat.exe"), "");
    EXPECT_EQ(arguments_after_program("\"C:\\a b\\x.exe\"/manual"), "");
    // System tools named bare run from the system folder, never from the current or the updater's folder.
    EXPECT_TRUE(platform::win32::system_program_path("msiexec /package x.msi").ends_with("\\msiexec.exe"));
    EXPECT_EQ(platform::win32::system_program_path("\"C:\\Om\\taskkill.exe\" /f"), "");
}

TEST_F(Launch, ShortChildIsWaitedForAndReturnsWhenItEnds)
{
    sleep_ms("400");
    const auto begin = Clock::now();
    ShellAndWait(context, "\"" + stand_in_path() + "\" -y -o", platform::sw_min_no_activate);
    const auto took = Clock::now() - begin;
    EXPECT_GE(took, std::chrono::milliseconds(380));
    EXPECT_LT(took, std::chrono::seconds(20));
    EXPECT_TRUE(processes.executable_path().ends_with("win32_process_tests.exe"));
}

TEST_F(Launch, MissingProgramRaisesToTheCallerWithoutWaiting)
{
    const auto begin = Clock::now();
    EXPECT_THROW(ShellAndWait(context, "om_no_such_program_here.exe /x", 6), platform::StartFailed);
    EXPECT_THROW(ShellAndWait(context, "\"C:\\no folder\\none.exe\"", 1), platform::StartFailed);
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(5));
    // An identifier that names no process: the wait returns at once.
    EXPECT_FALSE(processes.wait_for_exit(0x7ffffff0));
}

TEST_F(Launch, TaskKillOfARunningProgramEndsItAndItsWaitReturns)
{
    sleep_ms("60000");
    const std::uint32_t pid = processes.start("\"" + stand_in_path() + "\"", platform::sw_min_no_activate);
    ::Sleep(500);
    const auto begin = Clock::now();
    ShellAndWait(context, "taskkill /f /im \"v15_0_0_1.exe\"", platform::sw_min_no_activate);
    processes.wait_for_exit(pid);
    EXPECT_LT(Clock::now() - begin, std::chrono::seconds(20));
    // Gone: the process can no longer be opened, or has ended.
    HANDLE process = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
    if (process != nullptr) {
        EXPECT_EQ(::WaitForSingleObject(process, 0), WAIT_OBJECT_0);
        ::CloseHandle(process);
    }
}

} // namespace
} // namespace om::test
