#include "state/crash_detector.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

const std::string key = app_key_path;

TEST(RegistryRecord, ReadsTextsDroppingOnlyAStoredTerminator)
{
    test::FakeRegistry registry;
    registry.set_text(key, "exepath", "C:\\Program Files\\Ombrix\\");
    registry.set_text(key, "ProductVersion", "", true);    // the terminator only
    registry.set_text(key, "ProductCode", "{ABC}", false); // stored by another program without one
    registry.set_text(key, "InstallDate", std::string("20261204\0", 9), false);

    AppRecord record = read_app_record(registry);
    EXPECT_EQ(record.exepath, "C:\\Program Files\\Ombrix\\");
    EXPECT_EQ(record.ProductVersion, "");
    EXPECT_EQ(record.ProductCode, "{ABC}");
    EXPECT_EQ(record.InstallDate, "20261204");
    EXPECT_EQ(record.application, "");
}

TEST(RegistryRecord, MissingKeyGivesEmptyRecordAndWritesNothing)
{
    test::FakeRegistry registry;
    AppRecord record = read_app_record(registry);
    EXPECT_EQ(record.exepath + record.ProductVersion + record.LastFailureRun + record.fileversions, "");
    write_last_failure_run(registry, "a");
    write_last_success_run(registry, "b");
    write_file_versions(registry, "c");
    EXPECT_TRUE(registry.keys.empty());
}

TEST(RegistryRecord, WritesTextWithTerminatorAndNumbersAsFourBytes)
{
    test::FakeRegistry registry;
    registry.add_key(key);
    write_last_success_run(registry, "abc");
    EXPECT_EQ(registry.keys[key]["LastSuccessRun"].bytes, (std::vector<std::uint8_t>{'a', 'b', 'c', 0}));
    EXPECT_EQ(registry.keys[key]["LastSuccessRun"].type, 1u);

    auto open = registry.open_current_user(key, platform::KeyAccess::set_value);
    ASSERT_TRUE(open);
    EXPECT_EQ(set_reg_value(*open, "n", 4, RegValue{"", 7}), 0);
    EXPECT_EQ(registry.keys[key]["n"].bytes, (std::vector<std::uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(set_reg_value(*open, "m", 4, RegValue{"", -2}), 0);
    EXPECT_EQ(registry.keys[key]["m"].bytes, (std::vector<std::uint8_t>{0xfe, 0xff, 0xff, 0xff}));
    EXPECT_EQ(set_reg_value(*open, "other", 3, RegValue{"x", 0}), 0);
    EXPECT_FALSE(registry.keys[key].count("other"));
}

} // namespace
} // namespace om
