#pragma once
// A scripted FTP service: a fixed listing, a log of every call, calls that fail by their first word, and
// the handles given out and not yet closed. Transfers and folder changes are logged, not kept.
#include "platform/ftp_service.hpp"
#include "support/fake_services.hpp"

#include <cstring>
#include <set>
#include <sstream>
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
    // "*" finds every entry; any other pattern the entry of that name.
    std::vector<Entry> listing;
    FakeFiles* local = nullptr;
    // Each call as its name and arguments: "connect 10.0.0.5 21 user pw 1 0", "put C:\\a b 2", "close 3", ...
    std::vector<std::string> log;
    std::set<std::string> failing; // names of the calls that fail ("open", "connect", "put", ...)
    std::set<platform::FtpHandle> open;

    FakeFtp(FakeFiles* files = nullptr) : local(files) {}

    platform::FtpHandle internet_open(const std::string& agent, std::uint32_t type, std::uint32_t flags) override
    {
        return call("open", agent, type, flags) ? give() : 0;
    }
    bool set_option(platform::FtpHandle handle, std::uint32_t option, std::uint32_t value) override
    {
        return call("option", option, value) && open.count(handle);
    }
    platform::FtpHandle connect(platform::FtpHandle session, const std::string& server, int port,
                                const std::string& user, const std::string& password, std::uint32_t service,
                                std::uint32_t flags) override
    {
        return call("connect", server, port, user, password, service, flags) && open.count(session) ? give() : 0;
    }
    platform::FtpHandle find_first(platform::FtpHandle, const std::string& pattern, platform::FtpFindData& data,
                                   std::uint32_t) override
    {
        found_.clear();
        for (const Entry& entry : listing)
            if (pattern == "*" || entry.name == pattern)
                found_.push_back(entry);
        data = {};
        return call("find", pattern) && find_next(0, data) ? give() : 0;
    }
    bool find_next(platform::FtpHandle, platform::FtpFindData& data) override
    {
        if (found_.empty())
            return false;
        const Entry& entry = found_.front();
        data = {};
        data.attributes = entry.attributes;
        data.last_write_time = entry.written;
        data.size_high = static_cast<std::uint32_t>(entry.size >> 32);
        data.size_low = static_cast<std::uint32_t>(entry.size);
        std::strncpy(data.file_name.data(), entry.name.c_str(), data.file_name.size() - 1);
        found_.erase(found_.begin());
        return true;
    }
    bool get_current_directory(platform::FtpHandle, std::span<char> buffer, std::uint32_t& length) override
    {
        std::strncpy(buffer.data(), folder_.c_str(), length);
        length = static_cast<std::uint32_t>(folder_.size() + 1); // the NUL counted, as WinINet under Wine
        return call("pwd");
    }
    bool set_current_directory(platform::FtpHandle, const std::string& name) override
    {
        return call("cd", name) && (folder_ = "/" + name, true);
    }
    bool create_directory(platform::FtpHandle, const std::string& name) override { return call("mkdir", name); }
    bool remove_directory(platform::FtpHandle, const std::string& name) override { return call("rmdir", name); }
    bool get_file(platform::FtpHandle, const std::string& name, const std::string& path, bool fail_if_exists,
                  std::uint32_t attributes, std::uint32_t flags) override
    {
        return call("get", name, path, fail_if_exists, attributes, flags) && (local->files[path] = {'r'}, true);
    }
    bool put_file(platform::FtpHandle, const std::string& path, const std::string& name, std::uint32_t flags) override
    {
        return call("put", path, name, flags);
    }
    bool delete_file(platform::FtpHandle, const std::string& name) override { return call("delete", name); }
    bool rename_file(platform::FtpHandle, const std::string& from, const std::string& to) override
    {
        return call("rename", from, to);
    }
    bool close_handle(platform::FtpHandle handle) override { return call("close", handle) && open.erase(handle); }
    std::optional<std::uint32_t> local_attributes(const std::string& path) override
    {
        return local->files.count(path) ? std::optional(platform::file_attribute_archive) : std::nullopt;
    }
    bool delete_local_file(const std::string& path) override { return local->delete_file(path); }
    bool set_local_file_times(const std::string& path, platform::FileTime time) override
    {
        return call("times", path, time.ticks()) && local->files.count(path);
    }

private:
    template <typename... Arguments> bool call(const std::string& name, const Arguments&... arguments)
    {
        std::ostringstream entry(name, std::ios::ate);
        ((entry << ' ' << arguments), ...);
        log.push_back(entry.str());
        return !failing.count(name);
    }
    platform::FtpHandle give() { return *open.insert(++next_).first; }

    std::vector<Entry> found_; // what the last search has still to give
    std::string folder_ = "/";
    platform::FtpHandle next_ = 0;
};

// No Internet: opening a session fails, so nothing further is asked.
struct NoFtp : FakeFtp {
    NoFtp() { failing = {"open"}; }
};

} // namespace om::test
