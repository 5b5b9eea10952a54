#include "wine_test_support.hpp"

#include "platform/win32/unique_handle.hpp"

#include <windows.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace om::test::wine {

namespace {

struct CloseKey {
    bool operator()(HKEY key) const { return RegCloseKey(key) == ERROR_SUCCESS; }
};
using UniqueKey = platform::win32::UniqueHandle<HKEY, CloseKey>;

void check(LONG result, const char* what)
{
    if (result != ERROR_SUCCESS)
        throw std::runtime_error(std::string(what) + " failed with " + std::to_string(result));
}

} // namespace

std::string test_programs_folder()
{
    const char* unix_path = std::getenv("OM_TEST_PROGRAMS");
    if (!unix_path || !*unix_path)
        throw std::runtime_error("OM_TEST_PROGRAMS is not set");
    std::string path = std::string("Z:") + unix_path;
    for (char& c : path)
        if (c == '/')
            c = '\\';
    if (path.back() != '\\')
        path += '\\';
    return path;
}

ScratchFolder::ScratchFolder()
{
    char temp[MAX_PATH + 1] = {};
    const DWORD length = GetTempPathA(sizeof temp, temp);
    if (length == 0 || length > MAX_PATH)
        throw std::runtime_error("GetTempPathA failed");
    static std::atomic<int> counter{0};
    path_ = std::string(temp) + "om_foundation_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(counter++) + "\\";
    std::filesystem::remove_all(path_);
    if (!CreateDirectoryA(path_.c_str(), nullptr))
        throw std::runtime_error("cannot create " + path_);
}

ScratchFolder::~ScratchFolder()
{
    // Leave the folder before removing it (a test may have made it the current folder).
    char temp[MAX_PATH + 1] = {};
    if (GetTempPathA(sizeof temp, temp) != 0)
        SetCurrentDirectoryA(temp);
    std::error_code ignored;
    for (auto& entry : std::filesystem::recursive_directory_iterator(path_, ignored))
        SetFileAttributesA(entry.path().string().c_str(), FILE_ATTRIBUTE_NORMAL);
    std::filesystem::remove_all(path_, ignored);
}

void copy_program(const std::string& stand_in_file, const std::string& to_path)
{
    const std::string from = test_programs_folder() + stand_in_file;
    if (!CopyFileA(from.c_str(), to_path.c_str(), FALSE))
        throw std::runtime_error("cannot copy " + from + " to " + to_path);
}

void write_file(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out.flush())
        throw std::runtime_error("cannot write " + path);
}

std::optional<std::string> read_file(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return std::nullopt;
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

void add_attributes(const std::string& path, unsigned long attributes)
{
    const DWORD current = GetFileAttributesA(path.c_str());
    if (current == INVALID_FILE_ATTRIBUTES || !SetFileAttributesA(path.c_str(), current | attributes))
        throw std::runtime_error("cannot set the attributes of " + path);
}

namespace raw_registry {

void delete_tree(const std::string& key_path)
{
    const LONG result = RegDeleteTreeA(HKEY_CURRENT_USER, key_path.c_str());
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND)
        check(result, "RegDeleteTreeA");
}

void create_key(const std::string& key_path)
{
    HKEY key = nullptr;
    check(RegCreateKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS,
                          nullptr, &key, nullptr),
          "RegCreateKeyExA");
    UniqueKey owned(key);
}

bool key_exists(const std::string& key_path)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    UniqueKey owned(key);
    return true;
}

void put(const std::string& key_path, const std::string& value_name, std::uint32_t type,
         const std::vector<std::uint8_t>& bytes)
{
    HKEY key = nullptr;
    check(RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_SET_VALUE, &key), "RegOpenKeyExA");
    UniqueKey owned(key);
    check(RegSetValueExA(key, value_name.c_str(), 0, type, bytes.data(), static_cast<DWORD>(bytes.size())),
          "RegSetValueExA");
}

std::optional<Value> get(const std::string& key_path, const std::string& value_name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, key_path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    UniqueKey owned(key);
    // Ample room: the test values are small.
    std::vector<std::uint8_t> bytes(64 * 1024);
    DWORD size = static_cast<DWORD>(bytes.size());
    DWORD type = 0;
    if (RegQueryValueExA(key, value_name.c_str(), nullptr, &type, bytes.data(), &size) != ERROR_SUCCESS)
        return std::nullopt;
    bytes.resize(size);
    return Value{type, bytes};
}

} // namespace raw_registry

} // namespace om::test::wine
