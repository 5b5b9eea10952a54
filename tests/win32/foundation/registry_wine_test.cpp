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

// The shared contract covers the record's texts; these cases are the parts that only the real API
// shows: values longer than a first guess, the stored types, and the access each key was opened with.
TEST(WineRegistry, LongValuesAndStoredTypes)
{
    auto fixture = make_registry_fixture();
    fixture->create_key(key);
    const std::string long_text(70'000, 'x');
    fixture->put_raw(key, "long", platform::reg_sz, bytes_of(long_text, true));
    auto opened = fixture->registry().open_current_user(key, platform::KeyAccess::query_value);
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(opened->query("long"), bytes_of(long_text, true));
    EXPECT_EQ(read_reg_text(fixture->registry(), RootKey::current_user, key, "long"), long_text);

    write_last_failure_run(fixture->registry(), "abc");
    auto text = wine::raw_registry::get(key, "LastFailureRun");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->type, platform::reg_sz);
    EXPECT_EQ(text->bytes, bytes_of("abc", true));

    {
        auto writer = fixture->registry().open_current_user(key, platform::KeyAccess::set_value);
        ASSERT_NE(writer, nullptr);
        EXPECT_EQ(set_reg_value(*writer, "count", platform::reg_dword, RegValue{"", 7}), 0);
    }
    auto number = wine::raw_registry::get(key, "count");
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->type, platform::reg_dword);
    EXPECT_EQ(number->bytes, (Bytes{7, 0, 0, 0}));
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

} // namespace
} // namespace om::test
