// The registry file: the export formats it reads, the exact bytes it keeps, and how it treats a file it
// cannot parse or one that another process rewrote.
#include "platform/posix/reg_format.hpp"
#include "platform/posix/registry_file.hpp"
#include "posix/foundation/temp_folder.hpp"
#include "state/crash_detector.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <thread>

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

TEST_F(RegistryFileTest, WrittenFilesGiveBackEveryByte)
{
    platform::posix::RegHive hive;
    auto& section = hive.key_section("HKEY_CURRENT_USER\\Software\\Kelvane\\Ombrix32");
    std::vector<std::uint8_t> all_bytes;
    for (int b = 0; b < 256; ++b)
        all_bytes.push_back(static_cast<std::uint8_t>(b));
    section.values = {{"plain", 1, bytes_of(std::string("C:\\dir\\ \"q\"") + '\0')},
                      {"no terminator", 1, bytes_of("abc")},
                      {"two terminators", 1, {'a', 0, 0}},
                      {"all bytes", 1, all_bytes},
                      {"weird \"name\" \\ =[]", 3, all_bytes},
                      {"", 4, {1, 2, 3, 4}},
                      {"short number", 4, {1, 2}},
                      {"type 0x20000", 0x20000, {}},
                      {"high", 1, {0xe9, 0}}};
    hive.key_section("HKEY_CURRENT_USER\\Software\\Empty");
    std::string text = platform::posix::write_reg_file(hive);
    auto again = platform::posix::parse_reg_file(bytes_of(text));
    ASSERT_TRUE(again);
    EXPECT_EQ(*again, hive);

    // Through the service: each value set comes back byte for byte from a fresh reader of the file.
    write_text(file, text);
    auto opened = registry.open_current_user(key, KeyAccess::set_value);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->set("new", 1, all_bytes), 0);
    EXPECT_EQ(opened->set("PLAIN", 1, {'z', 0}), 0); // replaces "plain", whatever the letter case
    RegistryFile fresh(file);
    auto reopened = fresh.open_current_user(key, KeyAccess::query_value);
    ASSERT_TRUE(reopened);
    EXPECT_EQ(reopened->query("new"), all_bytes);
    EXPECT_EQ(reopened->query("plain"), (std::vector<std::uint8_t>{'z', 0}));
    EXPECT_EQ(reopened->query("no terminator"), bytes_of("abc"));
    // A key opened for queries refuses writes.
    EXPECT_NE(reopened->set("x", 1, {0}), 0);
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

} // namespace
} // namespace om
