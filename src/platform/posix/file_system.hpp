#pragma once
// The file system on posix. The updater's local paths use "\" as the folder separator; here it is "/".
#include "platform/file_system.hpp"

#include <string>

namespace om::platform::posix {

// The path with every "\" turned into "/".
std::string to_posix_path(const std::string& path);

class PosixFileSystem : public FileSystem {
public:
    // Regular files only: a folder is not found.
    bool file_exists(const std::string& path) override;
    bool folder_exists(const std::string& path) override;
    // The same device and inode.
    bool same_file(const std::string& a, const std::string& b) override;
    bool delete_file(const std::string& path) override;
    // Replaces the target and keeps the source's mode bits, so a program stays executable.
    bool copy_file(const std::string& from, const std::string& to) override;
    // Fails when the target exists, as renaming does on Windows.
    bool rename_file(const std::string& from, const std::string& to) override;
    bool create_folder(const std::string& path) override;
    bool set_current_folder(const std::string& path) override;
    // Without a trailing separator (except the root itself).
    std::string current_folder() override;
    // The bytes go to a uniquely named temporary file in the target's folder. A target whose name ends
    // in ".exe" is made executable: on Windows the name alone makes a file a program.
    std::unique_ptr<FileWriter> begin_write(const std::string& path) override;
    std::optional<std::string> read_small_file(const std::string& path, std::size_t max_bytes) override;
};

} // namespace om::platform::posix
