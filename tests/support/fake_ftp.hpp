#pragma once
// A scripted FTP service: a fixed listing, a log of every call, calls that fail by their first word, and
// the handles given out and not yet closed. Transfers and folder changes are logged, not kept.
#include "common/text.hpp"
#include "platform/ftp_service.hpp"
#include "support/fake_services.hpp"

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace om::test {

class FakeFtp : public platform::FtpService {
public:
    struct Entry {
        std::string name;
        std::uint32_t attributes = 0;
        platform::FileTime written{};
        std::uint64_t size = 0;
    };
    // "*" finds every entry without a "/"; any other pattern the entry of that name (case ignored).
    std::vector<Entry> listing;
    FakeFiles* local = nullptr;
    // "open FTP Client 1 0", "connect 10.0.0.5:21 user pw 1 0", "find *", "put C:\\a -> b 2", "close 3", ...
    std::vector<std::string> log;
    std::set<std::string> failing; // first words of the calls that fail ("open", "connect", "put", ...)
    bool pwd_counts_nul = false;   // the current folder's length with its NUL counted, as WinINet under Wine
    std::set<platform::FtpHandle> open;

    FakeFtp(FakeFiles* files = nullptr) : local(files) {}

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
        const bool ok = call("connect " + args + std::to_string(service) + " " + std::to_string(flags));
        return ok && open.count(session) ? give() : 0;
    }
    platform::FtpHandle find_first(platform::FtpHandle, const std::string& pattern, platform::FtpFindData& data,
                                   std::uint32_t) override
    {
        std::vector<platform::FtpFindData> found;
        for (const Entry& entry : listing)
            if (pattern == "*" ? !text::contains(entry.name, "/")
                               : text::to_lower(entry.name) == text::to_lower(pattern))
                found.push_back(find_data(entry));
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
        std::strncpy(buffer.data(), folder_.c_str(), length);
        length = static_cast<std::uint32_t>(folder_.size() + (pwd_counts_nul ? 1 : 0));
        return call("pwd");
    }
    bool set_current_directory(platform::FtpHandle, const std::string& name) override
    {
        if (!call("cd " + name))
            return false;
        folder_ = "/" + name;
        return true;
    }
    bool create_directory(platform::FtpHandle, const std::string& name) override { return call("mkdir " + name); }
    bool remove_directory(platform::FtpHandle, const std::string& name) override { return call("rmdir " + name); }
    bool get_file(platform::FtpHandle, const std::string& name, const std::string& path, bool fail_if_exists,
                  std::uint32_t attributes, std::uint32_t flags) override
    {
        const std::string options = std::to_string(fail_if_exists) + " " + std::to_string(attributes);
        if (!call("get " + name + " -> " + path + " " + options + " " + std::to_string(flags)))
            return false;
        local->files[path] = {'r'};
        return true;
    }
    bool put_file(platform::FtpHandle, const std::string& path, const std::string& name, std::uint32_t flags) override
    {
        return local->files.count(path) && call("put " + path + " -> " + name + " " + std::to_string(flags));
    }
    bool delete_file(platform::FtpHandle, const std::string& name) override { return call("delete " + name); }
    bool rename_file(platform::FtpHandle, const std::string& from, const std::string& to) override
    {
        return call("rename " + from + " -> " + to);
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
        return call("times " + path + " " + std::to_string(time.ticks())) && local->files.count(path);
    }

private:
    bool call(const std::string& entry)
    {
        log.push_back(entry);
        return !failing.count(entry.substr(0, entry.find(' ')));
    }
    platform::FtpHandle give() { return *open.insert(++next_).first; }
    static platform::FtpFindData find_data(const Entry& entry)
    {
        platform::FtpFindData data{};
        data.attributes = entry.attributes;
        data.last_write_time = entry.written;
        data.size_low = static_cast<std::uint32_t>(entry.size);
        data.size_high = static_cast<std::uint32_t>(entry.size >> 32);
        std::strncpy(data.file_name.data(), entry.name.c_str(), data.file_name.size() - 1);
        return data;
    }

    std::map<platform::FtpHandle, std::vector<platform::FtpFindData>> searches_;
    std::string folder_ = "/";
    platform::FtpHandle next_ = 0;
};

// No Internet: opening a session fails, so nothing further is asked.
struct NoFtp : FakeFtp {
    NoFtp() { failing = {"open"}; }
};

} // namespace om::test
