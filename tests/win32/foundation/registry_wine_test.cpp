// The registry service on the real registry under Wine, through the fixture the contract tests use.
#include "contract/registry_fixture.hpp"
#include "state/crash_detector.hpp"
#include "wine_test_support.hpp"

#include <gtest/gtest.h>

namespace om::test {
namespace {

using Bytes = std::vector<std::uint8_t>;
const std::string key = app_key_path;

Bytes bytes_of(const std::string& text, bool terminator)
{
    Bytes bytes(text.begin(), text.end());
    if (terminator)
        bytes.push_back(0);
    return bytes;
}

TEST(WineRegistry, QueryGivesTheExactStoredBytes)
{
    auto fixture = make_registry_fixture();
    fixture->create_key(key);
    fixture->put_raw(key, "exepath", platform::reg_sz, bytes_of("C:\\Program Files\\Ombrix\\", true));
    fixture->put_raw(key, "InstallDate", platform::reg_sz, bytes_of("", true));
    const Bytes binary{0, 1, 2, 0, 0xff, 0x80, 0};
    fixture->put_raw(key, "blob", 3 /* REG_BINARY */, binary);
    const std::string long_text(5000, 'x');
    fixture->put_raw(key, "long", platform::reg_sz, bytes_of(long_text, true));

    auto opened = fixture->registry().open_current_user(key, platform::KeyAccess::query_value);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->query("exepath"), bytes_of("C:\\Program Files\\Ombrix\\", true));
    EXPECT_EQ(opened->query("InstallDate"), Bytes{0});
    EXPECT_EQ(opened->query("blob"), binary);
    EXPECT_EQ(opened->query("long"), bytes_of(long_text, true));
    EXPECT_EQ(opened->query("missing"), std::nullopt);

    // Through the record reader: only the terminator is dropped.
    EXPECT_EQ(read_reg_text(fixture->registry(), RootKey::current_user, key, "exepath"), "C:\\Program Files\\Ombrix\\");
    EXPECT_EQ(read_reg_text(fixture->registry(), RootKey::current_user, key, "InstallDate"), "");
    EXPECT_EQ(read_reg_text(fixture->registry(), RootKey::current_user, key, "long"), long_text);
    EXPECT_EQ(read_reg_text(fixture->registry(), RootKey::current_user, key, "missing"), "");
}

TEST(WineRegistry, TextStoredWithoutTerminatorKeepsAllItsCharacters)
{
    auto fixture = make_registry_fixture();
    fixture->create_key(key);
    fixture->put_raw(key, "ProductVersion", platform::reg_sz, bytes_of("2.1.5", false));
    EXPECT_EQ(read_reg_text(fixture->registry(), RootKey::current_user, key, "ProductVersion"), "2.1.5");
}

TEST(WineRegistry, WritesStoreTextsWithTerminatorAndNumbersAsFourBytes)
{
    auto fixture = make_registry_fixture();
    fixture->create_key(key);

    write_last_failure_run(fixture->registry(), "abc");
    auto stored = wine::raw_registry::get(key, "LastFailureRun");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, platform::reg_sz);
    EXPECT_EQ(stored->bytes, (Bytes{'a', 'b', 'c', 0}));

    {
        auto opened = fixture->registry().open_current_user(key, platform::KeyAccess::set_value);
        ASSERT_NE(opened, nullptr);
        EXPECT_EQ(set_reg_value(*opened, "count", platform::reg_dword, RegValue{"", 7}), 0);
    } // closed here: the next reads go through other handles
    stored = wine::raw_registry::get(key, "count");
    ASSERT_TRUE(stored.has_value());
    EXPECT_EQ(stored->type, platform::reg_dword);
    EXPECT_EQ(stored->bytes, (Bytes{7, 0, 0, 0}));

    write_last_success_run(fixture->registry(), "[Updated {v.2.1.5: 12-04-2026 14:05:09}]");
    write_file_versions(fixture->registry(), "om_tarsel.exe: 0.0.0");
    const AppRecord record = read_app_record(fixture->registry());
    EXPECT_EQ(record.LastFailureRun, "abc");
    EXPECT_EQ(record.LastSuccessRun, "[Updated {v.2.1.5: 12-04-2026 14:05:09}]");
    EXPECT_EQ(record.fileversions, "om_tarsel.exe: 0.0.0");
    EXPECT_EQ(read_last_failure_run(fixture->registry()), "abc");
}

TEST(WineRegistry, AccessIsTheOneAskedFor)
{
    auto fixture = make_registry_fixture();
    fixture->create_key(key);
    fixture->put_raw(key, "exepath", platform::reg_sz, bytes_of("C:\\A\\", true));

    auto reader = fixture->registry().open_current_user(key, platform::KeyAccess::query_value);
    ASSERT_NE(reader, nullptr);
    EXPECT_NE(reader->set("exepath", platform::reg_sz, bytes_of("C:\\B\\", true)), 0);

    auto writer = fixture->registry().open_current_user(key, platform::KeyAccess::set_value);
    ASSERT_NE(writer, nullptr);
    EXPECT_EQ(writer->query("exepath"), std::nullopt);
    EXPECT_EQ(writer->set("exepath", platform::reg_sz, bytes_of("C:\\B\\", true)), 0);
    EXPECT_EQ(read_reg_text(fixture->registry(), RootKey::current_user, key, "exepath"), "C:\\B\\");
}

TEST(WineRegistry, MissingKeyReadsEmptyAndIsNeverCreated)
{
    auto fixture = make_registry_fixture();
    EXPECT_EQ(fixture->registry().open_current_user(key, platform::KeyAccess::query_value), nullptr);
    EXPECT_EQ(fixture->registry().open_current_user(key, platform::KeyAccess::set_value), nullptr);

    const AppRecord record = read_app_record(fixture->registry());
    for (const std::string* field :
         {&record.application, &record.Installer, &record.ProductVersion, &record.ProductCode, &record.InstallDate,
          &record.exepath, &record.LastSuccessRun, &record.LastFailureRun, &record.fileversions})
        EXPECT_EQ(*field, "");

    write_last_failure_run(fixture->registry(), "x");
    write_last_success_run(fixture->registry(), "x");
    write_file_versions(fixture->registry(), "x");
    EXPECT_FALSE(wine::raw_registry::key_exists(key));
    EXPECT_FALSE(wine::raw_registry::key_exists("Software\\Kelvane"));
}

} // namespace
} // namespace om::test
