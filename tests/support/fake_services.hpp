#pragma once
// In-memory stand-ins for the platform services the session logic uses.
#include "common/regimes.hpp"
#include "platform/platform.hpp"
#include "platform/posix/version_block.hpp"

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace om::test {

using Bytes = std::vector<std::uint8_t>;

// HKEY_CURRENT_USER as a map of key path -> value name -> (type, bytes).
struct FakeRegistry : platform::Registry {
    struct Value {
        std::uint32_t type = 0;
        Bytes bytes;
    };
    using Values = std::map<std::string, Value>;
    std::map<std::string, Values> keys;

    void add_key(const std::string& path) { keys[path]; }
    void set_text(const std::string& path, const std::string& name, std::string text, bool terminator = true)
    {
        if (terminator)
            text.push_back('\0');
        keys[path][name] = {platform::reg_sz, Bytes(text.begin(), text.end())};
    }
    // The stored text without its terminator; "<missing>" when absent.
    std::string text(const std::string& path, const std::string& name) const
    {
        if (!keys.count(path) || !keys.at(path).count(name))
            return "<missing>";
        const Bytes& bytes = keys.at(path).at(name).bytes;
        return std::string(bytes.begin(), bytes.end() - (!bytes.empty() && bytes.back() == 0 ? 1 : 0));
    }
    std::unique_ptr<platform::RegistryKey> open_current_user(const std::string& path, platform::KeyAccess) override
    {
        return keys.count(path) ? std::make_unique<Key>(keys[path]) : nullptr;
    }

private:
    struct Key : platform::RegistryKey {
        Values& values;
        explicit Key(Values& key) : values(key) {}
        std::optional<Bytes> query(const std::string& name) override
        {
            return values.count(name) ? std::optional(values[name].bytes) : std::nullopt;
        }
        long set(const std::string& name, std::uint32_t type, const Bytes& data) override
        {
            values[name] = {type, data};
            return 0;
        }
    };
};

// Files and folders by exact path text: one file has one spelling. A folder is named without a
// trailing "\", as the system reports it. Writes are kept and put in place only on commit.
struct FakeFiles : platform::FileSystem {
    std::map<std::string, Bytes> files;
    std::set<std::string> folders;
    std::string current = "C:\\";
    std::set<std::string> unwritable;    // paths whose writers fail every write (a full disk)
    std::set<std::string> unrestartable; // paths whose writers cannot start over (a file in use)

    void put(const std::string& path, const std::string& text) { files[path].assign(text.begin(), text.end()); }
    // The file's content as text; "" when there is no such file.
    std::string content(const std::string& path) const
    {
        return files.count(path) ? std::string(files.at(path).begin(), files.at(path).end()) : "";
    }
    bool file_exists(const std::string& path) override { return files.count(path) != 0; }
    bool folder_exists(const std::string& path) override { return folders.count(path) != 0; }
    bool same_file(const std::string& a, const std::string& b) override { return a == b && file_exists(a); }
    bool delete_file(const std::string& path) override { return files.erase(path) != 0; }
    bool copy_file(const std::string& from, const std::string& to) override
    {
        if (files.count(from))
            files[to] = files[from];
        return files.count(from) != 0;
    }
    bool rename_file(const std::string& from, const std::string& to) override
    {
        if (!files.count(from) || files.count(to))
            return false;
        files[to] = files[from];
        return files.erase(from) != 0;
    }
    bool create_folder(const std::string& path) override { return folders.insert(folder_name(path)).second; }
    bool set_current_folder(const std::string& path) override
    {
        if (!folders.count(folder_name(path)))
            return false;
        current = folder_name(path);
        return true;
    }
    std::string current_folder() override { return current; }
    std::unique_ptr<platform::FileWriter> begin_write(const std::string& path) override
    {
        return std::make_unique<Writer>(*this, path);
    }
    std::optional<std::string> read_small_file(const std::string& path, std::size_t max_bytes) override
    {
        return files.count(path) && files[path].size() <= max_bytes ? std::optional(content(path)) : std::nullopt;
    }

private:
    static std::string folder_name(std::string path)
    {
        while (path.size() > 3 && path.back() == '\\')
            path.pop_back();
        return path;
    }
    struct Writer : platform::FileWriter {
        FakeFiles& to;
        std::string path;
        Bytes data;
        Writer(FakeFiles& files, std::string file) : to(files), path(std::move(file)) {}
        bool write(std::span<const std::uint8_t> bytes) override
        {
            if (to.unwritable.count(path))
                return false;
            data.insert(data.end(), bytes.begin(), bytes.end());
            return true;
        }
        bool restart() override // a file in use cannot be emptied
        {
            data.clear();
            return !to.unrestartable.count(path);
        }
        bool commit() override
        {
            to.files[path] = data;
            return true;
        }
    };
};

struct FakeVersionInfo : platform::VersionInfo {
    std::map<std::string, Bytes> blocks;
    void set_version(const std::string& path, std::uint16_t a, std::uint16_t b, std::uint16_t c, std::uint16_t d)
    {
        const auto block = platform::posix::make_version_block(a, b, c, d);
        blocks[path].assign(block.begin(), block.end());
    }
    Bytes file_version_block(const std::string& path) override { return blocks[path]; }
};

// Its wall time stands still; the scripted window advances the monotonic time by each wait.
struct FakeClock : platform::Clock {
    platform::WallTime wall{2026, 12, 4, 14, 5, 9};
    std::int64_t monotonic = 1'000'000;
    int wall_reads = 0;
    platform::WallTime local_now() override
    {
        ++wall_reads;
        return wall;
    }
    std::int64_t monotonic_ms() override { return monotonic; }
};

struct FakeNetwork : platform::Network {
    bool online = true;
    bool connected() override { return online; }
    std::string local_host_name() override { return "LAB-PC7"; }
    std::string local_ip() override { return "192.168.1.20"; }
};

// Records every start; end_program throws ProgramEnded.
struct FakeProcesses : platform::Processes {
    std::string command_line;
    std::string exe_path = "C:\\Ombrix\\om_updater_now.exe";
    platform::OwnVersion version{15, 0, 1};
    struct Start {
        std::string command_line;
        int show_window;
        std::string current_folder;
    };
    std::vector<Start> starts;
    std::vector<std::uint32_t> waits;
    std::deque<std::uint32_t> exit_codes;   // of the waited processes, in order; 0 once used up
    std::set<std::string> missing_programs; // first word of a command line that cannot start
    FakeFiles* files;                       // to record the current folder of each start
    std::function<void(const Start&)> on_start;
    int ended = 0;

    explicit FakeProcesses(FakeFiles* folder_of = nullptr) : files(folder_of) {}
    std::string command_line_text() override { return command_line; }
    std::string executable_path() override { return exe_path; }
    platform::OwnVersion own_version() override { return version; }
    std::uint32_t start(const std::string& line, int show_window) override
    {
        const std::string program = line.substr(0, line.find(' '));
        if (missing_programs.count(program))
            throw platform::StartFailed("cannot start " + program);
        starts.push_back({line, show_window, files ? files->current : ""});
        if (on_start)
            on_start(starts.back());
        return static_cast<std::uint32_t>(1000 + starts.size());
    }
    std::optional<std::uint32_t> wait_for_exit(std::uint32_t process_id) override
    {
        waits.push_back(process_id);
        if (exit_codes.empty())
            return 0;
        const std::uint32_t code = exit_codes.front();
        exit_codes.pop_front();
        return code;
    }
    [[noreturn]] void end_program() override
    {
        ++ended;
        throw ProgramEnded{0};
    }
};

// Package files told by their content: "MSI " + ProductVersion is an installer, "MZ..." a program image.
struct FakePackages : platform::PackageInspector {
    FakeFiles* files;
    explicit FakePackages(FakeFiles* kinds_of = nullptr) : files(kinds_of) {}
    std::optional<std::string> installer_product_version(const std::string& path) override
    {
        const std::string text = files->content(path);
        return text.starts_with("MSI ") ? std::optional(text.substr(4)) : std::nullopt;
    }
    bool is_program_image(const std::string& path) override { return files->content(path).starts_with("MZ"); }
};

} // namespace om::test
