// The run log against real files, rotated to om_updat.log.1 only once it has passed 1 MB, and the text
// helpers with the system's conventions.
#include "common/log.hpp"
#include "common/regimes.hpp"
#include "common/text.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace om {
namespace {

TEST(Log, KeepsOneOldFileOncePastOneMegabyteAndWritesEachEventOnOneLine)
{
    // Bytes in the file when the log is opened (-1: no file nor folder), lines of 1000 characters written
    // and whether the file was set aside.
    const std::tuple<long long, int, bool> cases[] = {
        {-1, 10, false}, {log::rotate_bytes, 0, false}, {log::rotate_bytes + 1, 1, true}, {-1, 1100, true}};
    for (const auto& [size_before, lines, rotated] : cases) {
        const fs::path folder = fs::temp_directory_path() / ("om_log_" + std::to_string(std::random_device{}()));
        const fs::path file = folder / "ombrix" / "om_updat.log";
        if (size_before >= 0) {
            fs::create_directories(file.parent_path());
            std::ofstream(file, std::ios::binary) << std::string(static_cast<std::size_t>(size_before), 'x');
        }
        log::open(file.string(), 42);
        ASSERT_EQ(log::path(), file.string());
        if (size_before < 0)
            log::line("one\r\ntwo");
        for (int i = 0; i < lines; ++i)
            log::line("event " + std::to_string(i) + " " + std::string(1000, 'y'));
        log::close();
        EXPECT_EQ(log::path(), "");
        EXPECT_EQ(fs::exists(file.string() + ".1"), rotated) << lines;
        const auto read = [](const std::string& path) {
            std::ifstream in(path, std::ios::binary);
            return std::string(std::istreambuf_iterator<char>(in), {});
        };
        const std::string now = read(file.string()), old = read(file.string() + ".1");
        // The new file goes on with the next event, with the process id; a line break is written " | ".
        EXPECT_EQ((old + now).find(" [42] one | two\n") != std::string::npos, size_before < 0);
        if (rotated) {
            EXPECT_GT(static_cast<long long>(old.size()), log::rotate_bytes);
            EXPECT_NE(now.substr(0, now.find('\n')).find(" [42] "), std::string::npos) << now.substr(0, 80);
        }
        fs::remove_all(folder);
    }
}

TEST(Text, PositionsCountFromOneAndReplacementsReplaceEveryOccurrence)
{
    EXPECT_EQ(text::find_pos("a.exe om_exe.exe", ".exe", 3), 13u);
    EXPECT_EQ(text::find_pos("abc", "a", 0), 1u);
    EXPECT_EQ(text::find_pos("abc", "c", 5), 0u);
    EXPECT_EQ(text::find_pos("abc", "", 4), 4u);
    EXPECT_EQ(text::find_last_pos("{a}{b}", "{"), 4u);
    EXPECT_EQ(text::mid("abcdef", 2, 3), "bcd");
    EXPECT_EQ(text::mid("abc", 4), "");
    EXPECT_THROW(text::mid("abc", 0), StepFailed);
    EXPECT_EQ(text::replace_all("a-b--c", "-", "+"), "a+b++c");
    EXPECT_EQ(text::replace_all_nocase("xHTMLyhtmlz", "Html", "_"), "x_y_z");
    EXPECT_EQ(text::remove_all("a b c", " "), "abc");
    EXPECT_TRUE(text::contains("ombrix.html", "html") && !text::contains("ombrix.htm", "html"));
    EXPECT_EQ(text::two_digits(7), "07");
    const std::pair<const char*, double> numbers[] = {
        {" \t12.5x", 12.5}, {"-3", -3}, {"1 2.0 5", 12.05}, {"+.25", 0.25}, {"", 0}, {"x1", 0}, {"4.5.6", 4.5}};
    for (const auto& [text, number] : numbers)
        EXPECT_DOUBLE_EQ(text::leading_number(text), number) << text;
}

} // namespace
} // namespace om
