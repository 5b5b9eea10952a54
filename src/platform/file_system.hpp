#pragma once
// File-system service. Paths are the updater's local paths: install_dir + a relative name, with "\" as
// the folder separator (the posix layer reads "\" as "/").
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace om::platform {

// A file being written: the bytes go to a temporary file beside the target; only commit() puts them
// under the target name. Destroying an uncommitted writer removes the temporary file.
class FileWriter {
public:
    virtual ~FileWriter() = default;
    virtual bool write(std::span<const std::uint8_t> bytes) = 0;
    // Empties the file, so that the next write is its first byte again; false when it cannot.
    virtual bool restart() { return false; }
    // Flushes, closes and renames the temporary file over the target; false when any of that failed.
    virtual bool commit() = 0;
};

class FileSystem {
public:
    virtual ~FileSystem() = default;
    // A directory listing of that one path finds a file: not a folder, not hidden, not a system file.
    virtual bool file_exists(const std::string& path) = 0;
    virtual bool folder_exists(const std::string& path) = 0;
    // Both paths name one and the same existing file, whatever way each path is written.
    virtual bool same_file(const std::string& a, const std::string& b) = 0;
    virtual bool delete_file(const std::string& path) = 0;
    // Copies, replacing an existing target.
    virtual bool copy_file(const std::string& from, const std::string& to) = 0;
    virtual bool rename_file(const std::string& from, const std::string& to) = 0;
    virtual bool create_folder(const std::string& path) = 0;
    // Current folder (and drive, where the platform has drives).
    virtual bool set_current_folder(const std::string& path) = 0;
    virtual std::string current_folder() = 0;
    virtual std::unique_ptr<FileWriter> begin_write(const std::string& path) = 0;
    // The whole content of a small file; nullopt when it is missing, cannot be read or is longer than
    // max_bytes.
    virtual std::optional<std::string> read_small_file(const std::string& path, std::size_t max_bytes) = 0;
};

} // namespace om::platform
