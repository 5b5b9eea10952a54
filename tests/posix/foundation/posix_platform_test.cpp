// What only the posix layer does: the registry file (the export formats it reads, how it treats a file
// it cannot parse or one that another process rewrote), PE and ELF version blocks, Windows command
// lines, and the ending of the program in the middle of a download.
#include "app/context.hpp"
#include "platform/posix/command_line.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/reg_format.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/version_reader.hpp"
#include "posix/foundation/temp_folder.hpp"
#include "state/crash_detector.hpp"
#include "state/file_versions.hpp"
#include "support/test_platform.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace om {
namespace {

using platform::KeyAccess;
using platform::posix::RegistryFile;

const std::string key = app_key_path;

std::vector<std::uint8_t> read_bytes(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void write_bytes(const std::string& path, const std::vector<std::uint8_t>& bytes)
{
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void write_text(const std::string& path, const std::string& text)
{
    write_bytes(path, {text.begin(), text.end()});
}

// ASCII and two-byte UTF-8 to UTF-16LE with a byte-order mark, as regedit writes its exports.
std::vector<std::uint8_t> utf16_file(const std::u16string& text)
{
    std::vector<std::uint8_t> bytes{0xFF, 0xFE};
    for (char16_t c : text) {
        bytes.push_back(static_cast<std::uint8_t>(c & 0xff));
        bytes.push_back(static_cast<std::uint8_t>(c >> 8));
    }
    return bytes;
}

std::vector<std::uint8_t> bytes_of(const std::string& text)
{
    return {text.begin(), text.end()};
}

struct RegistryFileTest : ::testing::Test {
    test::TempFolder folder;
    std::string file = folder.file("HKEY_CURRENT_USER.reg");
    RegistryFile registry{file};

    std::optional<std::vector<std::uint8_t>> query(const std::string& name)
    {
        auto opened = registry.open_current_user(key, KeyAccess::query_value);
        return opened ? opened->query(name) : std::nullopt;
    }
    std::vector<std::string> folder_entries()
    {
        std::vector<std::string> names;
        for (auto& entry : std::filesystem::directory_iterator(folder.path()))
            names.push_back(entry.path().filename().string());
        return names;
    }
};

TEST_F(RegistryFileTest, ReadsAUtf16VersionFiveExport)
{
    write_bytes(file, utf16_file(u"Windows Registry Editor Version 5.00\r\n\r\n"
                                 u"[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\r\n"
                                 u"\"exepath\"=\"C:\\\\Program Files\\\\Ombrix\\\\\"\r\n"
                                 u"\"ProductVersion\"=\"2.1.5\"\r\n"
                                 u"\"count\"=dword:0000012c\r\n"
                                 u"\"noterm\"=hex(1):41,00,42,00\r\n"
                                 u"\"bin\"=hex:00,ff,\\\r\n  10\r\n"
                                 u"\"city\"=\"K\u00f6ln\"\r\n"
                                 u"@=\"default\"\r\n\r\n"));
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "exepath"), "C:\\Program Files\\Ombrix\\");
    EXPECT_EQ(read_app_record(registry).ProductVersion, "2.1.5");
    EXPECT_EQ(query("count"), (std::vector<std::uint8_t>{0x2c, 0x01, 0, 0}));
    // Texts kept as UTF-16 in the export reach the 8-bit calls converted, here without a terminator.
    EXPECT_EQ(query("noterm"), bytes_of("AB"));
    EXPECT_EQ(query("bin"), (std::vector<std::uint8_t>{0, 0xff, 0x10}));
    EXPECT_EQ(query("city"), bytes_of(std::string("K\xc3\xb6ln") + '\0'));
    EXPECT_EQ(query(""), bytes_of(std::string("default") + '\0'));

    // A write turns the file into REGEDIT4 and keeps every other value as it was read.
    write_last_failure_run(registry, "x");
    EXPECT_EQ(read_bytes(file).at(0), 'R');
    EXPECT_EQ(query("city"), bytes_of(std::string("K\xc3\xb6ln") + '\0'));
    EXPECT_EQ(query("noterm"), bytes_of("AB"));
    EXPECT_EQ(query("bin"), (std::vector<std::uint8_t>{0, 0xff, 0x10}));
}

TEST_F(RegistryFileTest, ReadsARegedit4FileWithEscapesContinuationsAndDeletions)
{
    write_text(file, "REGEDIT4\n"
                     "; a comment\n"
                     "[HKEY_CURRENT_USER\\Software\\Other]\n"
                     "\"gone\"=\"soon\"\n"
                     "[-HKEY_CURRENT_USER\\Software\\Other]\n"
                     "[HKEY_CURRENT_USER\\SOFTWARE\\Kelvane\\Ombrix32]\n"
                     "\"quote\"=\"a \\\"b\\\" \\\\ c\"\n"
                     "\"old\"=\"x\"\n"
                     "\"old\"=-\n"
                     "\"long\"=hex(2):41,42,\\\n"
                     "    43,00\n"
                     "  \"spaced\" = dword:7\n"
                     "[hkey_current_user\\software\\kelvane\\ombrix32]\n"
                     "\"merged\"=\"yes\"\n");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "quote"), "a \"b\" \\ c");
    EXPECT_EQ(query("old"), std::nullopt);
    EXPECT_EQ(query("long"), bytes_of(std::string("ABC") + '\0'));
    EXPECT_EQ(query("spaced"), (std::vector<std::uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "merged"), "yes");
    EXPECT_EQ(registry.open_current_user("Software\\Other", KeyAccess::query_value), nullptr);
    // A parent of a key that has a section exists too.
    EXPECT_NE(registry.open_current_user("Software\\Kelvane", KeyAccess::query_value), nullptr);
    EXPECT_EQ(registry.open_current_user("Software\\Kelv", KeyAccess::query_value), nullptr);

    // Without a header line, a file that starts with its first key reads the same.
    write_text(file, "[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\n\"exepath\"=\"/opt/om/\"\n");
    EXPECT_EQ(read_app_record(registry).exepath, "/opt/om/");
}

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
        EXPECT_EQ(read_bytes(file), bytes_of(contents));
        EXPECT_EQ(folder_entries().size(), 1u);
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
    EXPECT_EQ(folder_entries(), std::vector<std::string>{"HKEY_CURRENT_USER.reg"});

    // The key removed by another process: the write through the old handle fails and adds nothing.
    write_text(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Else]\r\n");
    EXPECT_NE(set_reg_value(*opened, "LastSuccessRun", platform::reg_sz, RegValue{"again", 0}), 0);
    EXPECT_EQ(registry.open_current_user(key, KeyAccess::query_value), nullptr);
}

TEST_F(RegistryFileTest, WritersInTurnLoseNoValue)
{
    write_text(file, "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32]\r\n");
    // Two writers of their own (as two processes would be), each adding values of its own.
    constexpr int per_writer = 40;
    auto writer = [&](char tag) {
        RegistryFile own(file);
        for (int i = 0; i < per_writer; ++i) {
            auto opened = own.open_current_user(key, KeyAccess::set_value);
            if (opened)
                set_reg_value(*opened, tag + std::to_string(i), platform::reg_sz, RegValue{"v", 0});
        }
    };
    std::thread first(writer, 'a'), second(writer, 'b');
    first.join();
    second.join();
    for (char tag : {'a', 'b'})
        for (int i = 0; i < per_writer; ++i)
            EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, tag + std::to_string(i)), "v") << tag << i;
    EXPECT_EQ(folder_entries().size(), 1u);
}

TEST(PosixVersionReader, PeAndElfFilesGiveTheirVersionBlock)
{
    const char* dir = std::getenv("OM_TEST_PROGRAMS");
    const std::string programs = std::string(dir && *dir ? dir : OM_TEST_PROGRAMS_BUILT) + "/";
    test::TestPlatform fakes;
    platform::posix::VersionReader versions;
    platform::posix::PosixFileSystem files;
    platform::Platform services{fakes.registry, versions,     files,       fakes.processes, fakes.clock,
                                fakes.network,  fakes.window, *fakes.http, *fakes.ftp,      fakes.packages};
    Context context{services};
    for (const auto& [name, text] : {std::pair{"pe/pe64_15_0_0_1.exe", " 15. 0. 1"},
                                     {"pe/pe64_2_1_0_300.exe", " 2. 1. 300"},
                                     {"pe/pe32_2_1_0_300.exe", " 2. 1. 300"},
                                     {"pe/pe64_no_resource.exe", ""},
                                     {"elf/elf64_2_1_0_300.o", " 2. 1. 300"},
                                     {"elf/elf32_2_1_0_300.o", " 2. 1. 300"}}) {
        if (std::filesystem::exists(programs + name)) {
            EXPECT_EQ(GetFileVersionData(context, programs + name), text) << name;
        }
    }
    EXPECT_EQ(versions.file_version_block(programs), std::vector<std::uint8_t>{}); // a folder
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
    // The arguments as the shell passed them, joined by blanks (the address's blanks are removed later).
    platform::posix::VersionReader versions;
    EXPECT_EQ(platform::posix::PosixProcesses({"/manual", "a b/ombrix.html"}, versions).command_line_text(),
              "/manual a b/ombrix.html");
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
