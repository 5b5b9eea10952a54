// The run log against real files: rotation at 1 MB, and a log that cannot be written left off.
#include "common/log.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

struct LogRotationCase {
    const char* name;
    long long size_before; // bytes already in the file when the log is opened, -1 for no file
    int lines;             // lines of 1000 characters written
    bool rotated;
};

class LogTest : public testing::TestWithParam<LogRotationCase> {
protected:
    void SetUp() override
    {
        folder =
            fs::temp_directory_path() / ("om_log_test_" + std::to_string(std::random_device{}()) + GetParam().name);
        fs::remove_all(folder);
    }
    void TearDown() override
    {
        om::log::close();
        fs::remove_all(folder);
    }
    fs::path folder;
};

TEST_P(LogTest, RotatesOnlyPastOneMegabyte)
{
    const LogRotationCase& c = GetParam();
    const fs::path log = folder / "ombrix" / "om_updat.log";
    if (c.size_before >= 0) {
        fs::create_directories(log.parent_path());
        std::ofstream(log, std::ios::binary) << std::string(static_cast<std::size_t>(c.size_before), 'x');
    }
    om::log::open(log.string(), 42);
    ASSERT_EQ(om::log::path(), log.string());
    for (int i = 0; i < c.lines; ++i)
        om::log::line("event " + std::to_string(i) + " " + std::string(1000, 'y'));
    om::log::close();

    EXPECT_EQ(fs::exists(log.string() + ".1"), c.rotated);
    EXPECT_LE(static_cast<long long>(fs::file_size(log)), om::log::rotate_bytes + 1100);
    if (c.rotated) {
        EXPECT_GT(static_cast<long long>(fs::file_size(log.string() + ".1")), om::log::rotate_bytes);
        // Every line after the rotation went to the new file, with the time and the process id.
        std::ifstream current(log);
        std::string first;
        std::getline(current, first);
        EXPECT_NE(first.find(" [42] event "), std::string::npos) << first;
    }
}

INSTANTIATE_TEST_SUITE_P(Sizes, LogTest,
                         testing::Values(LogRotationCase{"new_small", -1, 10, false},
                                         LogRotationCase{"at_limit", om::log::rotate_bytes, 0, false},
                                         LogRotationCase{"past_limit_at_open", om::log::rotate_bytes + 1, 1, true},
                                         LogRotationCase{"passes_while_writing", -1, 1100, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(LogOff, AFolderThatCannotBeMadeLeavesTheLogOff)
{
    const fs::path blocker =
        fs::temp_directory_path() / ("om_log_test_blocker" + std::to_string(std::random_device{}()));
    std::ofstream(blocker) << "a file where the log's folder should be";
    om::log::open((blocker / "om_updat.log").string(), 1);
    om::log::line("not written");
    EXPECT_EQ(om::log::path(), "");
    EXPECT_EQ(om::log::with_path("Internet connection timed out"), "Internet connection timed out");
    fs::remove(blocker);
}

} // namespace
