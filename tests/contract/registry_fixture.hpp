#pragma once
// The registry contract tests run against each platform's real registry service: the registry file on
// posix, the real registry under Wine. Each platform's test folder provides make_registry_fixture().
#include "platform/registry.hpp"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace om::test {

class RegistryFixture {
public:
    virtual ~RegistryFixture() = default;
    // The service under test, on a fresh, empty HKEY_CURRENT_USER area of the test's own.
    virtual platform::Registry& registry() = 0;
    // Creates a key (and its parents) the way the application's installation would.
    virtual void create_key(const std::string& key_path) = 0;
    // Stores raw bytes with a type, bypassing the service (as another program would).
    virtual void put_raw(const std::string& key_path, const std::string& value_name, std::uint32_t type,
                         const std::vector<std::uint8_t>& bytes) = 0;
};

std::unique_ptr<RegistryFixture> make_registry_fixture();

} // namespace om::test
