#pragma once
// The file system (not built yet).
#include "platform/file_system.hpp"

namespace om::platform::posix {

class PosixFileSystem : public FileSystem {
public:
    bool file_exists(const std::string&) override { return false; }
    bool folder_exists(const std::string&) override { return false; }
    bool delete_file(const std::string&) override { return false; }
    bool copy_file(const std::string&, const std::string&) override { return false; }
    bool rename_file(const std::string&, const std::string&) override { return false; }
    bool create_folder(const std::string&) override { return false; }
    bool set_current_folder(const std::string&) override { return false; }
    std::string current_folder() override { return {}; }
    std::unique_ptr<FileWriter> begin_write(const std::string&) override { return nullptr; }
};

} // namespace om::platform::posix
