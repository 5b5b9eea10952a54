#include "support/fake_services.hpp"

#include "platform/posix/version_block.hpp"

namespace om::test {

namespace {

class FakeKey : public platform::RegistryKey {
public:
    explicit FakeKey(std::map<std::string, FakeRegistry::Value>& values) : values_(values) {}
    std::optional<Bytes> query(const std::string& name) override
    {
        return values_.count(name) ? std::optional(values_[name].bytes) : std::nullopt;
    }
    long set(const std::string& name, std::uint32_t type, const Bytes& data) override
    {
        values_[name] = FakeRegistry::Value{type, data};
        return 0;
    }

private:
    std::map<std::string, FakeRegistry::Value>& values_;
};

// Keeps what is written and puts it in place only on commit.
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
        return !files_.unrestartable.count(path_);
    }
    bool commit() override
    {
        files_.files[path_] = data_;
        return true;
    }

private:
    FakeFiles& files_;
    std::string path_;
    Bytes data_;
};

} // namespace

std::string FakeRegistry::text(const std::string& path, const std::string& name) const
{
    if (!keys.count(path) || !keys.at(path).count(name))
        return "<missing>";
    const Bytes& bytes = keys.at(path).at(name).bytes;
    return std::string(bytes.begin(), bytes.end() - (!bytes.empty() && bytes.back() == 0 ? 1 : 0));
}

std::unique_ptr<platform::RegistryKey> FakeRegistry::open_current_user(const std::string& path, platform::KeyAccess)
{
    return keys.count(path) ? std::make_unique<FakeKey>(keys[path]) : nullptr;
}

bool FakeFiles::copy_file(const std::string& from, const std::string& to)
{
    if (!files.count(from))
        return false;
    files[to] = files[from];
    return true;
}

bool FakeFiles::rename_file(const std::string& from, const std::string& to)
{
    if (!files.count(from) || files.count(to))
        return false;
    files[to] = files[from];
    return files.erase(from) != 0;
}

bool FakeFiles::set_current_folder(const std::string& path)
{
    if (!folders.count(folder_name(path)))
        return false;
    current = folder_name(path);
    return true;
}

std::unique_ptr<platform::FileWriter> FakeFiles::begin_write(const std::string& path)
{
    return std::make_unique<FakeWriter>(*this, path);
}

std::string FakeFiles::folder_name(std::string path)
{
    while (path.size() > 3 && path.back() == '\\')
        path.pop_back();
    return path;
}

void FakeVersionInfo::set_version(const std::string& path, std::uint16_t a, std::uint16_t b, std::uint16_t c,
                                  std::uint16_t d)
{
    const auto block = platform::posix::make_version_block(a, b, c, d);
    blocks[path].assign(block.begin(), block.end());
}

std::uint32_t FakeProcesses::start(const std::string& line, int show_window)
{
    const std::string program = line.substr(0, line.find(' '));
    if (missing_programs.count(program))
        throw platform::StartFailed("cannot start " + program);
    starts.push_back({line, show_window, files ? files->current : ""});
    if (on_start)
        on_start(starts.back());
    return static_cast<std::uint32_t>(1000 + starts.size());
}

std::optional<std::uint32_t> FakeProcesses::wait_for_exit(std::uint32_t process_id)
{
    waits.push_back(process_id);
    const std::uint32_t code = exit_codes.empty() ? 0 : exit_codes.front();
    if (!exit_codes.empty())
        exit_codes.pop_front();
    return code;
}

} // namespace om::test
