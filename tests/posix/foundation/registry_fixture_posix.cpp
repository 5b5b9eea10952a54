// The registry contract on posix: the registry file in a test folder of its own. Keys and raw values are
// put in by editing the file's contents directly, as another program would.
#include "contract/registry_fixture.hpp"
#include "platform/posix/reg_format.hpp"
#include "platform/posix/registry_file.hpp"
#include "posix/foundation/temp_folder.hpp"

#include <fstream>
#include <iterator>
#include <stdexcept>

namespace om::test {

namespace {

class RegistryFileFixture : public RegistryFixture {
public:
    platform::Registry& registry() override { return registry_; }

    void create_key(const std::string& key_path) override
    {
        auto hive = load();
        hive.key_section("HKEY_CURRENT_USER\\" + key_path);
        save(hive);
    }

    void put_raw(const std::string& key_path, const std::string& value_name, std::uint32_t type,
                 const std::vector<std::uint8_t>& bytes) override
    {
        auto hive = load();
        auto& key = hive.key_section("HKEY_CURRENT_USER\\" + key_path);
        key.values.push_back(platform::posix::RegValueData{value_name, type, bytes});
        save(hive);
    }

private:
    platform::posix::RegHive load()
    {
        std::ifstream in(file_, std::ios::binary);
        if (!in)
            return {};
        std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        auto hive = platform::posix::parse_reg_file(bytes);
        if (!hive)
            throw std::runtime_error("the test's registry file does not parse");
        return *hive;
    }
    void save(const platform::posix::RegHive& hive)
    {
        std::ofstream(file_, std::ios::binary) << platform::posix::write_reg_file(hive);
    }

    TempFolder folder_;
    std::string file_ = folder_.file("HKEY_CURRENT_USER.reg");
    platform::posix::RegistryFile registry_{file_};
};

} // namespace

std::unique_ptr<RegistryFixture> make_registry_fixture()
{
    return std::make_unique<RegistryFileFixture>();
}

} // namespace om::test
