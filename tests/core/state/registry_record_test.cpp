#include "state/crash_detector.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

using test::Bytes;
const std::string key = app_key_path;

TEST(RegistryRecord, ReadsTextsDroppingOnlyAStoredTerminator)
{
    test::FakeRegistry registry;
    registry.set_text(key, "exepath", "C:\\Program Files\\Ombrix\\");
    registry.set_text(key, "ProductVersion", "");          // the terminator only
    registry.set_text(key, "ProductCode", "{ABC}", false); // stored by another program without one
    registry.set_text(key, "InstallDate", std::string("20261204\0", 9), false);
    registry.keys[key]["application"] = {1, {}}; // no bytes at all
    for (const char* name : {"Installer", "LastSuccessRun", "LastFailureRun", "fileversions"})
        registry.set_text(key, name, std::string("<") + name + ">");
    const AppRecord record = read_app_record(registry);
    EXPECT_EQ(record.exepath + "|" + record.ProductVersion + "|" + record.ProductCode + "|" + record.InstallDate + "|" +
                  record.application + "|" + record.Installer + "|" + record.LastSuccessRun + "|" +
                  record.LastFailureRun + "|" + record.fileversions,
              "C:\\Program Files\\Ombrix\\||{ABC}|20261204||<Installer>|<LastSuccessRun>|<LastFailureRun>|"
              "<fileversions>");
    EXPECT_EQ(read_last_failure_run(registry), "<LastFailureRun>");
}

TEST(RegistryRecord, WritesTextsWithTheirTerminatorAndWholeNumbersAsFourBytes)
{
    struct Case {
        std::uint32_t type;
        RegValue value;
        long result;
        std::optional<Bytes> stored;
    } cases[] = {
        {1, {"abc", 0}, 0, Bytes{'a', 'b', 'c', 0}},
        {4, {"", 0x01020304}, 0, Bytes{4, 3, 2, 1}},
        {4, {"", -2}, 0, Bytes{0xfe, 0xff, 0xff, 0xff}},
        {4, {"", 2.6}, 0, Bytes{3, 0, 0, 0}},
        {4, {"", -2147483648.0}, 0, Bytes{0, 0, 0, 0x80}},
        {4, {"", 2147483648.0}, 87, std::nullopt}, // not a 32-bit number
        {4, {"", -2147483649.0}, 87, std::nullopt},
        {3, {"x", 0}, 0, std::nullopt}, // a type the updater does not write
    };
    for (const auto& c : cases) {
        test::FakeRegistry registry;
        registry.add_key(key);
        EXPECT_EQ(set_reg_value(*registry.open_current_user(key, platform::KeyAccess::set_value), "v", c.type, c.value),
                  c.result);
        EXPECT_EQ(registry.keys[key].count("v") ? std::optional(registry.keys[key]["v"].bytes) : std::nullopt, c.stored)
            << c.value.number;
        EXPECT_EQ(registry.keys[key]["v"].type, c.stored ? c.type : 0);
    }
}

} // namespace
} // namespace om
