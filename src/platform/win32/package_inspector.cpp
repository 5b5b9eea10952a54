#include "platform/win32/package_inspector.hpp"

#include "platform/win32/file_handle.hpp"
#include "platform/win32/unique_handle.hpp"

#include <windows.h>

#include <msi.h>
#include <msiquery.h>

#include <cstdint>
#include <vector>

namespace om::platform::win32 {

namespace {

struct CloseMsiHandle {
    bool operator()(MSIHANDLE handle) const { return MsiCloseHandle(handle) == ERROR_SUCCESS; }
};
using UniqueMsi = UniqueHandle<MSIHANDLE, CloseMsiHandle>;

// Up to `count` bytes from `offset`; fewer when the file is shorter, none when it cannot be read.
std::vector<std::uint8_t> read_bytes(const std::string& path, std::uint32_t offset, std::uint32_t count)
{
    UniqueFile file = adopt_file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                               FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file ||
        ::SetFilePointer(file.get(), static_cast<LONG>(offset), nullptr, FILE_BEGIN) == INVALID_SET_FILE_POINTER)
        return {};
    std::vector<std::uint8_t> bytes(count);
    DWORD read = 0;
    if (!::ReadFile(file.get(), bytes.data(), count, &read, nullptr))
        return {};
    bytes.resize(read);
    return bytes;
}

} // namespace

std::optional<std::string> Win32PackageInspector::installer_product_version(const std::string& path)
{
    MSIHANDLE raw = 0;
    if (::MsiOpenDatabaseA(path.c_str(), MSIDBOPEN_READONLY, &raw) != ERROR_SUCCESS)
        return std::nullopt; // 1627 for a page, an empty or a missing file
    const UniqueMsi database(raw);
    if (::MsiDatabaseOpenViewA(database.get(), "SELECT `Value` FROM `Property` WHERE `Property`='ProductVersion'",
                               &raw) != ERROR_SUCCESS)
        return std::nullopt;
    const UniqueMsi view(raw);
    if (::MsiViewExecute(view.get(), 0) != ERROR_SUCCESS || ::MsiViewFetch(view.get(), &raw) != ERROR_SUCCESS)
        return std::nullopt;
    const UniqueMsi record(raw);
    char value[64] = {};
    DWORD size = sizeof value;
    if (::MsiRecordGetStringA(record.get(), 1, value, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::string(value, size);
}

bool Win32PackageInspector::is_program_image(const std::string& path)
{
    const std::vector<std::uint8_t> dos = read_bytes(path, 0, 64);
    if (dos.size() < 64 || dos[0] != 'M' || dos[1] != 'Z')
        return false;
    // e_lfanew, at 60, points to the "PE\0\0" signature.
    const std::uint32_t pe_at =
        dos[60] | (dos[61] << 8) | (dos[62] << 16) | (static_cast<std::uint32_t>(dos[63]) << 24);
    const std::vector<std::uint8_t> pe = read_bytes(path, pe_at, 4);
    return pe.size() == 4 && pe[0] == 'P' && pe[1] == 'E' && pe[2] == 0 && pe[3] == 0;
}

} // namespace om::platform::win32
