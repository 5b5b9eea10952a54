#pragma once
// The file system through kernel32, ANSI forms.
#include "platform/file_system.hpp"

namespace om::platform::win32 {

class Win32FileSystem : public FileSystem {
public:
    bool file_exists(const std::string& path) override;
    bool folder_exists(const std::string& path) override;
    // The same volume and file index.
    bool same_file(const std::string& a, const std::string& b) override;
    bool delete_file(const std::string& path) override;
    bool copy_file(const std::string& from, const std::string& to) override;
    bool rename_file(const std::string& from, const std::string& to) override;
    bool create_folder(const std::string& path) override;
    bool set_current_folder(const std::string& path) override;
    std::string current_folder() override;
    std::unique_ptr<FileWriter> begin_write(const std::string& path) override;
    std::optional<std::string> read_small_file(const std::string& path, std::size_t max_bytes) override;
};

} // namespace om::platform::win32
