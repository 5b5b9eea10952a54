// What the updater keeps in the registry: the application's record as read and written, the programs'
// versions and the history of runs.
#include "state/file_versions.hpp"

#include "state/crash_detector.hpp"
#include "support/test_platform.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

using test::Bytes;
const std::string key = app_key_path;

struct FileVersions : ::testing::Test {
    test::TestPlatform fakes;
    platform::Platform services = fakes.services();
    Context context{services};

    void add_program(const std::string& path, std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d)
    {
        fakes.files.files[path] = {};
        fakes.versions.set_version(path, a, b, c, d);
    }
};

TEST_F(FileVersions, VersionTextTakesFirstSecondAndFourthNumbers)
{
    add_program("C:\\b.exe", 2, 1, 0, 300);
    fakes.files.files["C:\\none.exe"] = {};
    EXPECT_EQ(GetFileVersionData(context, "C:\\b.exe"), " 2. 1. 300");
    EXPECT_EQ(GetFileVersionData(context, "C:\\none.exe"), "");
    EXPECT_EQ(GetFileVersionData(context, "C:\\missing.exe"), "");
    // A block too short to hold the numbers gives no version.
    fakes.versions.blocks["C:\\none.exe"] = std::vector<std::uint8_t>(52, 0xff);
    EXPECT_EQ(GetFileVersionData(context, "C:\\none.exe"), "");
    // A 53-byte block: the high byte of the last number is the buffer's extra zero byte.
    fakes.versions.blocks["C:\\none.exe"] = std::vector<std::uint8_t>(53, 0x01);
    EXPECT_EQ(GetFileVersionData(context, "C:\\none.exe"), " 257. 257. 1");
}

TEST_F(FileVersions, HistoryChainsTheLastBraceGroup)
{
    EXPECT_EQ(extend_history("", "2.1.5"), "[Updating {v.2.1.5<-}]");
    EXPECT_EQ(extend_history("[Updating {v.2.1.5<-}]", "2.1.6"), "[Updating [Updating {v.2.1.6<-v.2.1.5<-]}]");
    // Every earlier occurrence of the tail goes too.
    EXPECT_EQ(extend_history("{x}a{x}", "1.0.0"), "a[Updating {v.1.0.0<-x}]");
}

TEST_F(FileVersions, DoRegSurveysTheProgramsAndChainsTheHistory)
{
    fakes.registry.add_key(key);
    do_reg(context); // nothing installed
    EXPECT_EQ(context.session.installed_version, "0.0.0");
    EXPECT_EQ(fakes.registry.text(key, "LastFailureRun"), "[Updating {v.0.0.0<-}]");
    context.session.install_dir = "C:\\Ombrix\\";
    context.session.last_failure_run = "[Updating {v.2.1.5<-}]";
    add_program("C:\\Ombrix\\ombrix32.exe", 2, 1, 0, 6);
    add_program("C:\\Ombrix\\om_updat.exe", 1, 4, 0, 12);
    add_program("C:\\Ombrix\\quorin.exe", 3, 0, 0, 1);
    fakes.files.files["C:\\Ombrix\\vistrel.exe"] = {}; // present without a version resource
    fakes.clock.wall = {2027, 1, 2, 3, 4, 5};
    do_reg(context);
    EXPECT_EQ(context.session.installed_version, "2.1.6");
    EXPECT_EQ(fakes.registry.text(key, "LastFailureRun"), "[Updating [Updating {v.2.1.6<-v.2.1.5<-]}]");
    EXPECT_EQ(fakes.registry.text(key, "LastSuccessRun"), "[Updated {v.2.1.6: 01-02-2027 03:04:05}]");
    EXPECT_EQ(fakes.registry.text(key, "fileversions"),
              "om_tarsel.exe: 0.0.0   quorin.exe: 3.0.1   vistrel.exe:    om_updat.exe: 1.4.12");
}

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
