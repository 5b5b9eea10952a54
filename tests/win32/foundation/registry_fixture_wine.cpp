// The registry contract fixture over the real registry under Wine: the test area is the application's
// vendor key "Software\Kelvane" (and any other tree a test creates), emptied before and after each test.
#include "contract/registry_fixture.hpp"

#include "wine_test_support.hpp"

#include <set>

namespace om::test {

namespace {

// "Software\Vendor\Product" -> "Software\Vendor": the tree a test key lives in.
std::string tree_of(const std::string& key_path)
{
    const auto first = key_path.find('\\');
    if (first == std::string::npos)
        return key_path;
    const auto second = key_path.find('\\', first + 1);
    return second == std::string::npos ? key_path : key_path.substr(0, second);
}

class WineRegistryFixture : public RegistryFixture {
public:
    WineRegistryFixture()
    {
        trees_.insert("Software\\Kelvane");
        for (const auto& tree : trees_)
            wine::raw_registry::delete_tree(tree);
    }
    ~WineRegistryFixture() override
    {
        for (const auto& tree : trees_) {
            try {
                wine::raw_registry::delete_tree(tree);
            } catch (const std::exception&) {
                // the next fixture empties the area again
            }
        }
    }

    platform::Registry& registry() override { return registry_; }
    void create_key(const std::string& key_path) override
    {
        trees_.insert(tree_of(key_path));
        wine::raw_registry::create_key(key_path);
    }
    void put_raw(const std::string& key_path, const std::string& value_name, std::uint32_t type,
                 const std::vector<std::uint8_t>& bytes) override
    {
        wine::raw_registry::put(key_path, value_name, type, bytes);
    }

private:
    platform::win32::Win32Registry registry_;
    std::set<std::string> trees_;
};

} // namespace

std::unique_ptr<RegistryFixture> make_registry_fixture()
{
    return std::make_unique<WineRegistryFixture>();
}

} // namespace om::test
