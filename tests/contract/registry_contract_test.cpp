// The registry record's behaviour through each platform's real registry service: the same cases run
// against the registry file on posix and against the real registry under Wine.
#include "contract/platform_fixture.hpp"
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
    std::unique_ptr<test::PlatformFixture> fixture = test::make_platform_fixture();
    platform::Registry& registry = fixture->services().registry;
};

TEST_F(RegistryContract, StoredBytesReadBackExactlyAndTextsWithoutTheirTerminatorOnly)
{
    fixture->create_key(key);
    const std::string long_text(70'000, 'x'); // longer than a first guess at the size
    const struct {
        std::string name;
        std::vector<std::uint8_t> bytes;
        std::string text;
    } cases[] = {
        {"exepath", bytes_of(std::string("C:\\Ombrix\\") + '\0'), "C:\\Ombrix\\"},
        {"odd", {'a', 0, '"', '\\', '\n', 0xff, 0x80, '=', '[', 0}, std::string("a\0\"\\\n\xff\x80=[", 9)},
        {"long", bytes_of(long_text + '\0'), long_text},
    };
    const auto set = [&](const std::string& name, const std::vector<std::uint8_t>& bytes) {
        ASSERT_EQ(registry.open_current_user(key, platform::KeyAccess::set_value)->set(name, platform::reg_sz, bytes),
                  0);
    };
    for (const auto& c : cases)
        set(c.name, c.bytes);
    set("application", bytes_of("Ombrix")); // no terminator (under Wine a query adds one)
    // Writing another value keeps them as they were; a writer stores the text and one zero byte. (Plain
    // texts are read and written by update.sh, on the real registry under Wine.)
    write_last_failure_run(registry, "x");
    const auto stored = registry.open_current_user(key, platform::KeyAccess::query_value);
    ASSERT_NE(stored, nullptr);
    EXPECT_EQ(stored->query("LastFailureRun"), (std::vector<std::uint8_t>{'x', 0}));
    for (const auto& c : cases) {
        EXPECT_EQ(stored->query(c.name), c.bytes) << c.name;
        EXPECT_EQ(read_reg_text(registry, RootKey::current_user, key, c.name), c.text) << c.name;
    }
    EXPECT_EQ(read_app_record(registry).application, "Ombrix");
    EXPECT_EQ(read_reg_text(registry, RootKey::current_user, "SOFTWARE\\kelvane\\OMBRIX32", "EXEPATH"), "C:\\Ombrix\\");
}

TEST_F(RegistryContract, WithoutTheKeyNothingIsWritten)
{
    fixture->create_key("Software\\Kelvane"); // the parent only
    EXPECT_EQ(registry.open_current_user(key, platform::KeyAccess::set_value), nullptr);
    write_last_failure_run(registry, "a");
    write_last_success_run(registry, "b");
    write_file_versions(registry, "c");
    EXPECT_EQ(registry.open_current_user(key, platform::KeyAccess::query_value), nullptr);
    EXPECT_NE(registry.open_current_user("Software\\Kelvane", platform::KeyAccess::query_value), nullptr);
}

} // namespace
} // namespace om
