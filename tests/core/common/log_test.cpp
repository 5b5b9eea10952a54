// The run log against real files: rotated to om_updat.log.1 only once it has passed 1 MB.
#include "common/log.hpp"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

namespace fs = std::filesystem;

namespace {

struct RotationCase {
    const char* name;
    long long size_before; // bytes in the file when the log is opened, -1 for no file
    int lines;             // lines of 1000 characters written
    bool rotated;
};

class LogRotation : public testing::TestWithParam<RotationCase> {};

TEST_P(LogRotation, KeepsOneOldFileOncePastOneMegabyte)
{
    const RotationCase& c = GetParam();
    const fs::path folder = fs::temp_directory_path() / ("om_log_" + std::to_string(std::random_device{}()));
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
        std::string first; // the new file goes on with the next event, with the process id
        std::getline(std::ifstream(log) >> std::ws, first);
        EXPECT_NE(first.find(" [42] event "), std::string::npos) << first;
    }
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(Sizes, LogRotation,
                         testing::Values(RotationCase{"new_small", -1, 10, false},
                                         RotationCase{"at_limit", om::log::rotate_bytes, 0, false},
                                         RotationCase{"past_limit_at_open", om::log::rotate_bytes + 1, 1, true},
                                         RotationCase{"passes_while_writing", -1, 1100, true}),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace
