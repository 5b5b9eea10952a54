#include "state/crash_detector.hpp"

#include "app/context.hpp"

#include <cmath>
#include <limits>

namespace om {

std::string read_reg_text(platform::Registry& registry, RootKey, const std::string& key_path,
                          const std::string& value_name)
{
    auto key = registry.open_current_user(key_path, platform::KeyAccess::query_value);
    if (!key)
        return {};
    auto bytes = key->query(value_name);
    if (!bytes || bytes->empty())
        return {};
    std::string text(bytes->begin(), bytes->end());
    // Drop the stored terminator only when there is one: another program may store a text without it.
    if (text.back() == '\0')
        text.pop_back();
    return text;
}

AppRecord read_app_record(platform::Registry& registry)
{
    auto read = [&](const char* name) { return read_reg_text(registry, RootKey::current_user, app_key_path, name); };
    AppRecord record;
    record.application = read("application");
    record.Installer = read("Installer");
    record.ProductVersion = read("ProductVersion");
    record.ProductCode = read("ProductCode");
    record.InstallDate = read("InstallDate");
    record.exepath = read("exepath");
    record.LastSuccessRun = read("LastSuccessRun");
    record.LastFailureRun = read("LastFailureRun");
    record.fileversions = read("fileversions");
    return record;
}

std::string read_last_failure_run(platform::Registry& registry)
{
    return read_reg_text(registry, RootKey::current_user, app_key_path, "LastFailureRun");
}

long set_reg_value(platform::RegistryKey& key, const std::string& value_name, std::uint32_t type, const RegValue& value)
{
    if (type == platform::reg_sz) {
        std::vector<std::uint8_t> data(value.text.begin(), value.text.end());
        data.push_back(0);
        return key.set(value_name, type, data);
    }
    if (type == platform::reg_dword) {
        double rounded = std::nearbyint(value.number);
        if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
              rounded <= std::numeric_limits<std::int32_t>::max()))
            return 87; // ERROR_INVALID_PARAMETER: not a 32-bit number
        auto number = static_cast<std::uint32_t>(static_cast<std::int32_t>(rounded));
        std::vector<std::uint8_t> data{static_cast<std::uint8_t>(number), static_cast<std::uint8_t>(number >> 8),
                                       static_cast<std::uint8_t>(number >> 16),
                                       static_cast<std::uint8_t>(number >> 24)};
        return key.set(value_name, type, data);
    }
    return 0;
}

namespace {

void write_text_value(platform::Registry& registry, const char* value_name, const std::string& text)
{
    auto key = registry.open_current_user(app_key_path, platform::KeyAccess::set_value);
    if (!key)
        return; // the key is made by the application's installation; without it nothing is written
    set_reg_value(*key, value_name, platform::reg_sz, RegValue{text, 0});
}

} // namespace

void write_last_failure_run(platform::Registry& registry, const std::string& text)
{
    write_text_value(registry, "LastFailureRun", text);
}

void write_last_success_run(platform::Registry& registry, const std::string& text)
{
    write_text_value(registry, "LastSuccessRun", text);
}

void write_file_versions(platform::Registry& registry, const std::string& text)
{
    write_text_value(registry, "fileversions", text);
}

void get_reg(Context& context)
{
    context.session.install_dir = context.session.app_record.exepath;
    context.session.last_failure_run = read_last_failure_run(context.platform.registry);
}

} // namespace om
