#include "platform/posix/registry_file.hpp"

#include "platform/posix/reg_format.hpp"
#include "platform/posix/unique_fd.hpp"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace om::platform::posix {

namespace {

constexpr const char* root_prefix = "HKEY_CURRENT_USER\\";
// A registry file larger than this is not one the updater's record lives in.
constexpr off_t max_file_size = 64 << 20;

int open_folder_of(const std::string& path)
{
    auto slash = path.find_last_of('/');
    std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    return ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

// The file as it is now: no file is a hive without keys; nullopt when it cannot be read or parsed.
std::optional<RegHive> load(const std::string& path)
{
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    if (fd.get() < 0)
        return errno == ENOENT ? std::optional<RegHive>(RegHive{}) : std::nullopt;
    struct stat info {};
    if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_size > max_file_size)
        return std::nullopt;
    std::vector<std::uint8_t> bytes;
    std::uint8_t buffer[65536];
    for (;;) {
        ssize_t n = ::read(fd.get(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return std::nullopt;
        if (n == 0)
            break;
        bytes.insert(bytes.end(), buffer, buffer + n);
        if (bytes.size() > static_cast<std::size_t>(max_file_size))
            return std::nullopt;
    }
    if (bytes.empty())
        return RegHive{};
    return parse_reg_file(bytes);
}

bool write_all(int fd, const std::string& text)
{
    std::size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// Writes the hive to a temporary file beside the registry file and renames it over the file, so a
// reader sees either the old or the new file, never a part of one.
bool save(const std::string& path, const RegHive& hive)
{
    std::string temp = path + ".XXXXXX";
    UniqueFd fd(::mkstemp(temp.data()));
    if (fd.get() < 0)
        return false;
    bool ok = ::fchmod(fd.get(), 0600) == 0 && write_all(fd.get(), write_reg_file(hive)) && ::fsync(fd.get()) == 0;
    ok = fd.close() && ok;
    ok = ok && ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(temp.c_str());
        return false;
    }
    UniqueFd dir(open_folder_of(path));
    if (dir.valid())
        ::fsync(dir.get());
    return true;
}

class FileKey : public RegistryKey {
public:
    FileKey(std::string file_path, std::string full_path, KeyAccess access)
        : file_path_(std::move(file_path)), full_path_(std::move(full_path)), access_(access)
    {
    }

    std::optional<std::vector<std::uint8_t>> query(const std::string& value_name) override
    {
        auto hive = load(file_path_);
        if (!hive)
            return std::nullopt;
        RegKeyData* key = hive->find_key(full_path_);
        if (!key)
            return std::nullopt;
        RegValueData* value = find_value(*key, value_name);
        if (!value)
            return std::nullopt;
        return std::move(value->bytes);
    }

    long set(const std::string& value_name, std::uint32_t type, const std::vector<std::uint8_t>& data) override
    {
        if (access_ != KeyAccess::set_value)
            return reg_error_access_denied;
        // Writers take turns (a lock on the folder, held until the replaced file is in place), so that a
        // value written by another process between this one's read and its rename is not lost.
        UniqueFd folder(open_folder_of(file_path_));
        if (!folder.valid() || ::flock(folder.get(), LOCK_EX) != 0)
            return reg_error_write_fault;
        auto hive = load(file_path_);
        if (!hive)
            return reg_error_corrupt;
        if (!hive->key_exists(full_path_))
            return reg_error_key_deleted;
        RegKeyData& key = hive->key_section(full_path_);
        if (RegValueData* value = find_value(key, value_name)) {
            value->type = type;
            value->bytes = data;
        } else {
            key.values.push_back(RegValueData{value_name, type, data});
        }
        return save(file_path_, *hive) ? 0 : reg_error_write_fault;
    }

private:
    std::string file_path_;
    std::string full_path_;
    KeyAccess access_;
};

} // namespace

std::string RegistryFile::default_path()
{
    if (const char* file = std::getenv("OMBRIX_HKCU_FILE"))
        return file;
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    const char* home = std::getenv("HOME");
    std::string base = xdg && *xdg ? xdg : std::string(home ? home : "") + "/.config";
    return base + "/ombrix/HKEY_CURRENT_USER.reg";
}

std::unique_ptr<RegistryKey> RegistryFile::open_current_user(const std::string& key_path, KeyAccess access)
{
    if (key_path.empty())
        return nullptr;
    std::string full_path = root_prefix + key_path;
    auto hive = load(path_);
    // An unreadable file opens, reads as missing values and refuses writes: it is never replaced.
    if (hive && !hive->key_exists(full_path))
        return nullptr;
    return std::make_unique<FileKey>(path_, std::move(full_path), access);
}

} // namespace om::platform::posix
