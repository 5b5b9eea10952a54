#pragma once
// Helpers of the Wine foundation tests: where the stand-in programs are, a scratch folder on drive C:,
// raw registry access that bypasses the service, and a platform whose registry, version information and
// file system are the real ones.
#include "platform/win32/file_system.hpp"
#include "platform/win32/registry.hpp"
#include "platform/win32/version_info.hpp"
#include "support/test_platform.hpp"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace om::test::wine {

// The folder of the built stand-in programs (OM_TEST_PROGRAMS, a Unix path) as a Windows path ending
// in "\": under Wine the Unix root is drive Z:. Throws when the variable is not set.
std::string test_programs_folder();

// A new empty folder under the Windows temporary folder, removed with its contents on destruction.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    // The folder's path ending in "\".
    const std::string& path() const { return path_; }

private:
    std::string path_;
};

void copy_program(const std::string& stand_in_file, const std::string& to_path);
void write_file(const std::string& path, const std::string& content);
// The whole file; nullopt when it cannot be opened.
std::optional<std::string> read_file(const std::string& path);
// Adds Windows attributes (FILE_ATTRIBUTE_HIDDEN, ...) to a file.
void add_attributes(const std::string& path, unsigned long attributes);

// HKEY_CURRENT_USER through advapi32 directly.
namespace raw_registry {
void delete_tree(const std::string& key_path);
void create_key(const std::string& key_path);
bool key_exists(const std::string& key_path);
void put(const std::string& key_path, const std::string& value_name, std::uint32_t type,
         const std::vector<std::uint8_t>& bytes);
struct Value {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> bytes;
};
std::optional<Value> get(const std::string& key_path, const std::string& value_name);
} // namespace raw_registry

// The real registry, version information and file system; fakes for the rest.
struct FoundationPlatform {
    platform::win32::Win32Registry registry;
    platform::win32::Win32VersionInfo versions;
    platform::win32::Win32FileSystem files;
    TestPlatform fakes;

    platform::Platform services()
    {
        return platform::Platform{registry,      versions,     files,       fakes.processes, fakes.clock,
                                  fakes.network, fakes.window, *fakes.http, *fakes.ftp,      fakes.packages};
    }
};

} // namespace om::test::wine
