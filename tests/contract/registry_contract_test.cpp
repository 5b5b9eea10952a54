// The registry record's behaviour through each platform's real registry service: the same cases run
// against the registry file on posix and against the real registry under Wine.
#include "contract/registry_fixture.hpp"
#include "state/crash_detector.hpp"

#include <gtest/gtest.h>

namespace om {
namespace {

const std::string key = app_key_path;

std::vector<std::uint8_t> bytes_of(const std::string& text)
{
    return {text.begin(), text.end()};
}

struct RegistryContract : ::testing::Test {
    std::unique_ptr<test::RegistryFixture> fixture = test::make_registry_fixture();
    platform::Registry& registry = fixture->registry();

    std::optional<std::vector<std::uint8_t>> stored(const std::string& name)
    {
        auto opened = registry.open_current_user(key, platform::KeyAccess::query_value);
        if (!opened)
            return std::nullopt;
        return opened->query(name);
    }
};

TEST_F(RegistryContract, TextsReadBackWithoutTheirTerminatorOnly)
{
    fixture->create_key(key);
    fixture->put_raw(key, "exepath", platform::reg_sz, bytes_of(std::string("C:\\Ombrix\\") + '\0'));
    fixture->put_raw(key, "ProductVersion", platform::reg_sz, {0});
    fixture->put_raw(key, "application", platform::reg_sz, bytes_of("Ombrix")); // no terminator
    fixture->put_raw(key, "Installer", platform::reg_sz, bytes_of(std::string("2.1.5") + '\0'));

    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "exepath"), "C:\\Ombrix\\");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "ProductVersion"), "");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "application"), "Ombrix");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "missing"), "");

    AppRecord record = read_app_record(registry);
    EXPECT_EQ(record.exepath, "C:\\Ombrix\\");
    EXPECT_EQ(record.application, "Ombrix");
    EXPECT_EQ(record.Installer, "2.1.5");
    EXPECT_EQ(record.ProductVersion, "");
    EXPECT_EQ(record.fileversions, "");
}

TEST_F(RegistryContract, WritersStoreTheTextAndOneZeroByte)
{
    fixture->create_key(key);
    write_last_failure_run(registry, "abc");
    EXPECT_EQ(stored("LastFailureRun"), (std::vector<std::uint8_t>{'a', 'b', 'c', 0}));
    write_last_success_run(registry, "");
    EXPECT_EQ(stored("LastSuccessRun"), (std::vector<std::uint8_t>{0}));
    const std::string versions = "om_tarsel.exe: 0.0.0   quorin.exe: 0.0.0   vistrel.exe: 0.0.0   om_updat.exe: 0.0.0";
    write_file_versions(registry, versions);
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "fileversions"), versions);

    // A second write replaces the first; the others stay.
    write_last_failure_run(registry, "[Updating {v.2.1.5<-}]");
    EXPECT_EQ(read_last_failure_run(registry), "[Updating {v.2.1.5<-}]");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "fileversions"), versions);
    // Value names are found whatever their letter case, as the registry does.
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "lastfailurerun"), "[Updating {v.2.1.5<-}]");
}

TEST_F(RegistryContract, NumbersAreFourLittleEndianBytesAndOtherTypesWriteNothing)
{
    fixture->create_key(key);
    auto opened = registry.open_current_user(key, platform::KeyAccess::set_value);
    ASSERT_TRUE(opened);
    EXPECT_EQ(set_reg_value(*opened, "count", platform::reg_dword, RegValue{"", 7}), 0);
    EXPECT_EQ(set_reg_value(*opened, "big", platform::reg_dword, RegValue{"", -2}), 0);
    EXPECT_EQ(set_reg_value(*opened, "binary", 3, RegValue{"x", 0}), 0);
    opened.reset();
    EXPECT_EQ(stored("count"), (std::vector<std::uint8_t>{7, 0, 0, 0}));
    EXPECT_EQ(stored("big"), (std::vector<std::uint8_t>{0xfe, 0xff, 0xff, 0xff}));
    EXPECT_EQ(stored("binary"), std::nullopt);
    // A key opened for queries refuses writes.
    EXPECT_NE(registry.open_current_user(key, platform::KeyAccess::query_value)->set("count", platform::reg_sz, {0}),
              0);
    EXPECT_EQ(stored("count"), (std::vector<std::uint8_t>{7, 0, 0, 0}));
}

TEST_F(RegistryContract, OddBytesRoundTripExactly)
{
    fixture->create_key(key);
    const std::vector<std::uint8_t> odd{'a', 0, '"', '\\', '\n', 0xff, 0x80, '=', '[', 0};
    fixture->put_raw(key, "odd", platform::reg_sz, odd);
    fixture->put_raw(key, "blob", 3, {0, 1, 2, 0xfe});
    fixture->put_raw(key, "empty", 3, {});
    const std::string long_text(70'000, 'x'); // longer than a first guess at the size
    fixture->put_raw(key, "long", platform::reg_sz, bytes_of(long_text + '\0'));
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "long"), long_text);
    EXPECT_EQ(stored("odd"), odd);
    EXPECT_EQ(stored("blob"), (std::vector<std::uint8_t>{0, 1, 2, 0xfe}));
    EXPECT_EQ(stored("empty"), std::vector<std::uint8_t>{});
    // Reading the text stops nowhere but at the last byte, which is the terminator.
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, "odd"), std::string("a\0\"\\\n\xff\x80=[", 9));

    // Writing another value keeps them as they were.
    write_last_failure_run(registry, "x");
    EXPECT_EQ(stored("odd"), odd);
    EXPECT_EQ(stored("blob"), (std::vector<std::uint8_t>{0, 1, 2, 0xfe}));
}

TEST_F(RegistryContract, WithoutTheKeyEverythingReadsEmptyAndNothingIsWritten)
{
    fixture->create_key("Software\\Kelvane"); // the parent only
    EXPECT_EQ(registry.open_current_user(key, platform::KeyAccess::query_value), nullptr);
    EXPECT_EQ(registry.open_current_user(key, platform::KeyAccess::set_value), nullptr);

    AppRecord record = read_app_record(registry);
    for (const std::string* field :
         {&record.application, &record.Installer, &record.ProductVersion, &record.ProductCode, &record.InstallDate,
          &record.exepath, &record.LastSuccessRun, &record.LastFailureRun, &record.fileversions})
        EXPECT_EQ(*field, "");

    write_last_failure_run(registry, "a");
    write_last_success_run(registry, "b");
    write_file_versions(registry, "c");
    EXPECT_EQ(registry.open_current_user(key, platform::KeyAccess::query_value), nullptr);
    EXPECT_NE(registry.open_current_user("Software\\Kelvane", platform::KeyAccess::query_value), nullptr);
}

TEST_F(RegistryContract, KeyPathsIgnoreLetterCase)
{
    fixture->create_key(key);
    fixture->put_raw(key, "exepath", platform::reg_sz, bytes_of(std::string("D:\\x\\") + '\0'));
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, "SOFTWARE\\kelvane\\OMBRIX32", "EXEPATH"), "D:\\x\\");
}

} // namespace
} // namespace om
