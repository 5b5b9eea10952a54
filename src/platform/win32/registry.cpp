#include "platform/win32/registry.hpp"

#include "platform/win32/unique_handle.hpp"

#include <windows.h>

namespace om::platform::win32 {

namespace {

struct CloseKey {
    bool operator()(HKEY key) const { return RegCloseKey(key) == ERROR_SUCCESS; }
};
using UniqueKey = UniqueHandle<HKEY, CloseKey>;

class Win32RegistryKey : public RegistryKey {
public:
    explicit Win32RegistryKey(UniqueKey key) : key_(std::move(key)) {}

    std::optional<std::vector<std::uint8_t>> query(const std::string& value_name) override
    {
        // The size first, without a buffer, then the bytes. The first size can be an upper bound (the
        // ANSI form converts stored text), so the second call's size is the one kept. A value rewritten
        // between the two calls grows the buffer and is read again.
        for (int attempt = 0; attempt < 4; ++attempt) {
            DWORD size = 0;
            LONG result = RegQueryValueExA(key_.get(), value_name.c_str(), nullptr, nullptr, nullptr, &size);
            if (result != ERROR_SUCCESS)
                return std::nullopt;
            std::vector<std::uint8_t> bytes(size);
            if (size == 0)
                return bytes;
            result = RegQueryValueExA(key_.get(), value_name.c_str(), nullptr, nullptr, bytes.data(), &size);
            if (result == ERROR_MORE_DATA)
                continue;
            if (result != ERROR_SUCCESS)
                return std::nullopt;
            bytes.resize(size);
            return bytes;
        }
        return std::nullopt;
    }

    long set(const std::string& value_name, std::uint32_t type, const std::vector<std::uint8_t>& data) override
    {
        return RegSetValueExA(key_.get(), value_name.c_str(), 0, type, data.data(), static_cast<DWORD>(data.size()));
    }

private:
    UniqueKey key_;
};

} // namespace

std::unique_ptr<RegistryKey> Win32Registry::open_current_user(const std::string& key_path, KeyAccess access)
{
    const REGSAM sam = access == KeyAccess::query_value ? KEY_QUERY_VALUE : KEY_SET_VALUE;
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, sam, &key) != ERROR_SUCCESS)
        return nullptr;
    return std::make_unique<Win32RegistryKey>(UniqueKey(key));
}

} // namespace om::platform::win32
