#pragma once
// A scripted FTP service: remote entries in one flat table keyed by the names the client uses, a log of
// every call, calls that fail by their first word, and the handles given out and not yet closed.
#include "common/text.hpp"
#include "platform/ftp_service.hpp"
#include "support/fake_services.hpp"

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace om::test {

class FakeFtp : public platform::FtpService {
public:
    struct Entry {
        std::string bytes;
        std::uint32_t attributes = 0;
        platform::FileTime written{};
        std::uint64_t size = 0; // listed size; the byte count when 0
    };
    // "*" lists the entries without a "/"; any other pattern finds the entry of that name (case ignored).
    std::map<std::string, Entry> remote;
    FakeFiles* local = nullptr;
    std::map<std::string, platform::FileTime> local_times;
    std::vector<std::string> log;  // "open FTP Client 1 0", "find *", "put C:\\a -> b 2", "close 3", ...
    std::set<std::string> failing; // first words of the calls that fail ("open", "connect", "put", ...)
    bool pwd_counts_nul = false;   // the current folder's length with its NUL counted, as WinINet under Wine
    std::set<platform::FtpHandle> open;

    FakeFtp(FakeFiles* files = nullptr) : local(files) {}
    void folder(const std::string& name) { remote[name].attributes = platform::file_attribute_directory; }
    std::string text(const std::string& name) const { return remote.count(name) ? remote.at(name).bytes : "<missing>"; }

    platform::FtpHandle internet_open(const std::string& agent, std::uint32_t type, std::uint32_t flags) override
    {
        return call("open " + agent + " " + std::to_string(type) + " " + std::to_string(flags)) ? give() : 0;
    }
    bool set_option(platform::FtpHandle handle, std::uint32_t option, std::uint32_t value) override
    {
        return call("option " + std::to_string(option) + "=" + std::to_string(value)) && open.count(handle);
    }
    platform::FtpHandle connect(platform::FtpHandle session, const std::string& server, int port,
                                const std::string& user, const std::string& password, std::uint32_t service,
                                std::uint32_t flags) override
    {
        const std::string args = server + ":" + std::to_string(port) + " " + user + " " + password + " ";
        return call("connect " + args + std::to_string(service) + " " + std::to_string(flags)) && open.count(session)
                   ? give()
                   : 0;
    }
    platform::FtpHandle find_first(platform::FtpHandle, const std::string& pattern, platform::FtpFindData& data,
                                   std::uint32_t) override
    {
        std::vector<platform::FtpFindData> found;
        for (const auto& [name, entry] : remote)
            if (pattern == "*" ? name.find('/') == std::string::npos : text::to_lower(name) == text::to_lower(pattern))
                found.push_back(find_data(name, entry));
        data = {};
        if (!call("find " + pattern) || found.empty())
            return 0;
        data = found.front();
        searches_[next_ + 1] = {found.begin() + 1, found.end()};
        return give();
    }
    bool find_next(platform::FtpHandle find, platform::FtpFindData& data) override
    {
        auto& rest = searches_[find];
        if (rest.empty())
            return false;
        data = rest.front();
        rest.erase(rest.begin());
        return true;
    }
    bool get_current_directory(platform::FtpHandle, std::span<char> buffer, std::uint32_t& length) override
    {
        std::strncpy(buffer.data(), current_.c_str(), length);
        length = static_cast<std::uint32_t>(current_.size() + (pwd_counts_nul ? 1 : 0));
        return call("pwd");
    }
    bool set_current_directory(platform::FtpHandle, const std::string& name) override
    {
        const bool ok = call("cd " + name) && is_folder(name);
        current_ = ok ? "/" + name : current_;
        return ok;
    }
    bool create_directory(platform::FtpHandle, const std::string& name) override
    {
        if (!call("mkdir " + name) || remote.count(name))
            return false;
        folder(name);
        return true;
    }
    bool remove_directory(platform::FtpHandle, const std::string& name) override
    {
        return call("rmdir " + name) && is_folder(name) && remote.erase(name);
    }
    bool get_file(platform::FtpHandle, const std::string& name, const std::string& path, bool fail_if_exists,
                  std::uint32_t attributes, std::uint32_t flags) override
    {
        const std::string options = std::to_string(fail_if_exists) + " " + std::to_string(attributes);
        if (!call("get " + name + " -> " + path + " " + options + " " + std::to_string(flags)) || !remote.count(name))
            return false;
        local->files[path].assign(remote[name].bytes.begin(), remote[name].bytes.end());
        return true;
    }
    bool put_file(platform::FtpHandle, const std::string& path, const std::string& name, std::uint32_t flags) override
    {
        if (!call("put " + path + " -> " + name + " " + std::to_string(flags)) || !local->files.count(path))
            return false;
        remote[name] = {std::string(local->files[path].begin(), local->files[path].end())};
        return true;
    }
    bool delete_file(platform::FtpHandle, const std::string& name) override
    {
        return call("delete " + name) && remote.count(name) && !is_folder(name) && remote.erase(name);
    }
    bool rename_file(platform::FtpHandle, const std::string& from, const std::string& to) override
    {
        if (!call("rename " + from + " -> " + to) || !remote.count(from))
            return false;
        remote[to] = remote[from];
        return remote.erase(from);
    }
    bool close_handle(platform::FtpHandle handle) override
    {
        return call("close " + std::to_string(handle)) && open.erase(handle);
    }
    std::optional<std::uint32_t> local_attributes(const std::string& path) override
    {
        return local->files.count(path) ? std::optional(platform::file_attribute_archive) : std::nullopt;
    }
    bool delete_local_file(const std::string& path) override { return local->delete_file(path); }
    bool set_local_file_times(const std::string& path, platform::FileTime time) override
    {
        local_times[path] = time;
        return local->files.count(path);
    }

private:
    bool call(const std::string& entry)
    {
        log.push_back(entry);
        return !failing.count(entry.substr(0, entry.find(' ')));
    }
    platform::FtpHandle give() { return *open.insert(++next_).first; }
    bool is_folder(const std::string& name) const
    {
        return remote.count(name) && (remote.at(name).attributes & platform::file_attribute_directory);
    }
    static platform::FtpFindData find_data(const std::string& name, const Entry& entry)
    {
        platform::FtpFindData data{};
        data.attributes = entry.attributes;
        data.last_write_time = entry.written;
        const std::uint64_t size = entry.size ? entry.size : entry.bytes.size();
        data.size_low = static_cast<std::uint32_t>(size);
        data.size_high = static_cast<std::uint32_t>(size >> 32);
        std::strncpy(data.file_name.data(), name.c_str(), data.file_name.size() - 1);
        return data;
    }

    std::map<platform::FtpHandle, std::vector<platform::FtpFindData>> searches_;
    std::string current_ = "/";
    platform::FtpHandle next_ = 0;
};

// No Internet: opening a session fails, so nothing further is asked.
struct NoFtp : FakeFtp {
    NoFtp() { failing = {"open"}; }
};

} // namespace om::test
