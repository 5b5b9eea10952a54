#include "support/fake_services.hpp"

#include "platform/posix/version_block.hpp"

namespace om::test {

namespace {

class FakeKey : public platform::RegistryKey {
public:
    explicit FakeKey(std::map<std::string, FakeRegistry::Value>& values) : values_(values) {}
    std::optional<std::vector<std::uint8_t>> query(const std::string& name) override
    {
        auto it = values_.find(name);
        if (it == values_.end())
            return std::nullopt;
        return it->second.bytes;
    }
    long set(const std::string& name, std::uint32_t type, const std::vector<std::uint8_t>& data) override
    {
        values_[name] = FakeRegistry::Value{type, data};
        return 0;
    }

private:
    std::map<std::string, FakeRegistry::Value>& values_;
};

class FakeWriter : public platform::FileWriter {
public:
    FakeWriter(FakeFiles& files, std::string path) : files_(files), path_(std::move(path)) {}
    bool write(std::span<const std::uint8_t> bytes) override
    {
        if (files_.unwritable.count(path_))
            return false;
        data_.insert(data_.end(), bytes.begin(), bytes.end());
        return true;
    }
    bool restart() override // a file in use cannot be emptied
    {
        data_.clear();
        return !files_.undeletable.count(path_);
    }
    bool commit() override
    {
        files_.files[path_] = data_;
        files_.log.push_back("write " + path_);
        return true;
    }

private:
    FakeFiles& files_;
    std::string path_;
    std::vector<std::uint8_t> data_;
};

} // namespace

void FakeRegistry::set_text(const std::string& path, const std::string& name, const std::string& text, bool terminator)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    if (terminator)
        bytes.push_back(0);
    keys[path][name] = Value{platform::reg_sz, bytes};
}

std::string FakeRegistry::text(const std::string& path, const std::string& name) const
{
    auto key = keys.find(path);
    if (key == keys.end())
        return "<missing>";
    auto value = key->second.find(name);
    if (value == key->second.end())
        return "<missing>";
    std::string result(value->second.bytes.begin(), value->second.bytes.end());
    if (!result.empty() && result.back() == '\0')
        result.pop_back();
    return result;
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::open_current_user(const std::string& key_path, platform::KeyAccess)
{
    auto it = keys.find(key_path);
    if (it == keys.end())
        return nullptr;
    return std::make_unique<FakeKey>(it->second);
}

bool FakeFiles::delete_file(const std::string& path)
{
    log.push_back("delete " + path);
    return !undeletable.count(path) && files.erase(path) != 0;
}

bool FakeFiles::copy_file(const std::string& from, const std::string& to)
{
    log.push_back("copy " + from + " -> " + to);
    auto it = files.find(from);
    if (it == files.end())
        return false;
    files[to] = it->second;
    return true;
}

bool FakeFiles::rename_file(const std::string& from, const std::string& to)
{
    log.push_back("rename " + from + " -> " + to);
    auto it = files.find(from);
    if (it == files.end() || files.count(to))
        return false;
    files[to] = it->second;
    files.erase(from);
    return true;
}

bool FakeFiles::create_folder(const std::string& path)
{
    log.push_back("mkdir " + path);
    std::string folder = path;
    while (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    return folders.insert(folder).second;
}

bool FakeFiles::set_current_folder(const std::string& path)
{
    log.push_back("cd " + path);
    // The folder as the system reports it: without a trailing "\".
    std::string folder = path;
    while (folder.size() > 3 && folder.back() == '\\')
        folder.pop_back();
    if (!folders.count(folder))
        return false;
    current = folder;
    return true;
}

std::unique_ptr<platform::FileWriter> FakeFiles::begin_write(const std::string& path)
{
    return std::make_unique<FakeWriter>(*this, path);
}

void FakeVersionInfo::set_version(const std::string& path, std::uint16_t a, std::uint16_t b, std::uint16_t c,
                                  std::uint16_t d)
{
    auto block = platform::posix::make_version_block(a, b, c, d);
    blocks[path] = std::vector<std::uint8_t>(block.begin(), block.end());
}

std::vector<std::uint8_t> FakeVersionInfo::file_version_block(const std::string& path)
{
    auto it = blocks.find(path);
    return it == blocks.end() ? std::vector<std::uint8_t>{} : it->second;
}

std::uint32_t FakeProcesses::start(const std::string& line, int show_window)
{
    std::string program = line.substr(0, line.find(' '));
    if (missing_programs.count(program))
        throw platform::StartFailed("cannot start " + program);
    Start record{line, show_window, files ? files->current : std::string{}};
    starts.push_back(record);
    if (on_start)
        on_start(record);
    return static_cast<std::uint32_t>(1000 + starts.size());
}

std::optional<std::uint32_t> FakeProcesses::wait_for_exit(std::uint32_t process_id)
{
    waits.push_back(process_id);
    if (exit_codes.empty())
        return 0;
    const std::uint32_t code = exit_codes.front();
    exit_codes.pop_front();
    return code;
}

std::optional<std::string> FakePackages::installer_product_version(const std::string& path)
{
    const auto found = files->files.find(path);
    const std::string text = found == files->files.end() ? "" : std::string(found->second.begin(), found->second.end());
    return text.starts_with("MSI ") ? std::optional<std::string>(text.substr(4)) : std::nullopt;
}

bool FakePackages::is_program_image(const std::string& path)
{
    const auto found = files->files.find(path);
    return found != files->files.end() && found->second.size() >= 2 && found->second[0] == 'M' &&
           found->second[1] == 'Z';
}

} // namespace om::test
