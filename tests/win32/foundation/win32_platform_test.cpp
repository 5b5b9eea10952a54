// What only the win32 layer shows: attributes that hide a file from the existence test, and the text
// after the program name in the process's command line.
#include "contract/platform_fixture.hpp"
#include "platform/win32/processes.hpp"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

namespace om::test {
namespace {

TEST(Win32Files, HiddenAndSystemFilesDoNotExist)
{
    auto fixture = make_platform_fixture();
    const std::pair<const char*, DWORD> cases[] = {{"plain.txt", 0},
                                                   {"readonly.txt", FILE_ATTRIBUTE_READONLY},
                                                   {"hidden.txt", FILE_ATTRIBUTE_HIDDEN},
                                                   {"system.txt", FILE_ATTRIBUTE_SYSTEM}};
    for (const auto& [name, attributes] : cases) {
        const std::string path = fixture->folder() + name;
        std::ofstream(path) << "x";
        if (attributes != 0) {
            ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes));
        }
        EXPECT_EQ(fixture->files().file_exists(path),
                  (attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM)) == 0)
            << name;
    }
}

TEST(Win32CommandLine, TextAfterTheProgramName)
{
    const std::pair<const char*, const char*> cases[] = {
        {"\"C:\\Program Files\\Om\\om_updat.exe\" /manual host/ombrix.html", "/manual host/ombrix.html"},
        {"om_updat.exe   /skip_down  x", "/skip_down  x"},
        {"C:\\Om\\om_updat.exe", ""},
        {"\"C:\\a b\\x.exe\"/manual", ""}};
    for (const auto& [line, text] : cases)
        EXPECT_EQ(platform::win32::arguments_after_program(line), text) << line;
}

} // namespace
} // namespace om::test
