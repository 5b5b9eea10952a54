#include "support/fake_ftp.hpp"

#include "common/text.hpp"

#include <algorithm>
#include <cstring>

namespace om::test {

void FakeFtp::put_remote_file(const std::string& path, const std::string& content, platform::FileTime written)
{
    remote[path] = Remote{{content.begin(), content.end()}, false, 0, written, 0};
}

void FakeFtp::add_remote_folder(const std::string& path)
{
    remote[path] = Remote{{}, true, platform::file_attribute_directory, {}, 0};
}

std::string FakeFtp::remote_text(const std::string& path) const
{
    auto found = remote.find(path);
    return found == remote.end() ? "<missing>" : std::string(found->second.bytes.begin(), found->second.bytes.end());
}

bool FakeFtp::is(platform::FtpHandle handle, Kind kind) const
{
    auto found = open_.find(handle);
    return found != open_.end() && found->second.kind == kind;
}

std::string FakeFtp::path_of(const std::string& name) const
{
    if (name.starts_with("/"))
        return name.substr(1);
    return current.empty() ? name : current + "/" + name;
}

platform::FtpHandle FakeFtp::give(Open open)
{
    platform::FtpHandle handle = next_++;
    open_.emplace(handle, std::move(open));
    return handle;
}

platform::FtpHandle FakeFtp::internet_open(const std::string& agent, std::uint32_t access_type, std::uint32_t flags)
{
    log.push_back("open " + agent + " " + std::to_string(access_type) + " " + std::to_string(flags));
    return give(Open{Kind::session, {}, 0});
}

bool FakeFtp::set_option(platform::FtpHandle handle, std::uint32_t option, std::uint32_t value)
{
    log.push_back("option " + std::to_string(option) + "=" + std::to_string(value));
    return is(handle, Kind::session);
}

platform::FtpHandle FakeFtp::connect(platform::FtpHandle session, const std::string& server, int port,
                                     const std::string& user_name, const std::string& pass, std::uint32_t service,
                                     std::uint32_t flags)
{
    log.push_back("connect " + server + ":" + std::to_string(port) + " " + user_name + " " + pass + " " +
                  std::to_string(service) + " " + std::to_string(flags));
    if (!is(session, Kind::session) || !reachable || user_name != user || pass != password)
        return 0;
    current.clear();
    return give(Open{Kind::connection, {}, 0, session});
}

platform::FtpHandle FakeFtp::find_first(platform::FtpHandle connection, const std::string& pattern,
                                        platform::FtpFindData& data, std::uint32_t)
{
    log.push_back("find " + pattern);
    data = platform::FtpFindData{};
    if (!is(connection, Kind::connection))
        return 0;
    // "*" lists the current folder; any other pattern names one entry.
    std::string folder = current;
    std::string name = pattern;
    if (auto slash = pattern.rfind('/'); slash != std::string::npos) {
        folder = path_of(pattern.substr(0, slash));
        name = pattern.substr(slash + 1);
    }
    Open search{Kind::search, {}, 0, connection};
    for (const auto& [path, entry] : remote) {
        const auto slash = path.rfind('/');
        const std::string parent = slash == std::string::npos ? "" : path.substr(0, slash);
        const std::string leaf = slash == std::string::npos ? path : path.substr(slash + 1);
        if (parent != folder || (name != "*" && text::to_lower(name) != text::to_lower(leaf)))
            continue;
        platform::FtpFindData found{};
        found.attributes = entry.attributes;
        found.last_write_time = entry.written;
        const std::uint64_t size = entry.size != 0 ? entry.size : entry.bytes.size();
        found.size_low = static_cast<std::uint32_t>(size);
        found.size_high = static_cast<std::uint32_t>(size >> 32);
        std::memcpy(found.file_name.data(), leaf.c_str(), std::min(leaf.size(), found.file_name.size() - 1));
        search.found.push_back(found);
    }
    if (search.found.empty())
        return 0;
    data = search.found.front();
    search.next = 1;
    return give(std::move(search));
}

bool FakeFtp::find_next(platform::FtpHandle find, platform::FtpFindData& data)
{
    auto found = open_.find(find);
    if (found == open_.end() || found->second.kind != Kind::search ||
        found->second.next >= found->second.found.size()) {
        return false;
    }
    data = found->second.found[found->second.next++];
    return true;
}

bool FakeFtp::get_current_directory(platform::FtpHandle connection, std::span<char> buffer, std::uint32_t& length)
{
    log.push_back("pwd");
    const std::string folder = "/" + current;
    if (!is(connection, Kind::connection) || folder.size() + 1 > length)
        return false;
    std::memcpy(buffer.data(), folder.c_str(), folder.size() + 1);
    length = static_cast<std::uint32_t>(folder.size() + (current_folder_reply_counts_nul ? 1 : 0));
    return true;
}

bool FakeFtp::set_current_directory(platform::FtpHandle connection, const std::string& name)
{
    log.push_back("cd " + name);
    const std::string path = name == "/" ? "" : path_of(name);
    if (!is(connection, Kind::connection) || (!path.empty() && !(remote.count(path) && remote[path].folder)))
        return false;
    current = path;
    return true;
}

bool FakeFtp::create_directory(platform::FtpHandle connection, const std::string& name)
{
    log.push_back("mkdir " + name);
    if (!is(connection, Kind::connection) || remote.count(path_of(name)))
        return false;
    add_remote_folder(path_of(name));
    return true;
}

bool FakeFtp::remove_directory(platform::FtpHandle connection, const std::string& name)
{
    log.push_back("rmdir " + name);
    auto found = remote.find(path_of(name));
    if (!is(connection, Kind::connection) || found == remote.end() || !found->second.folder)
        return false;
    remote.erase(found);
    return true;
}

bool FakeFtp::get_file(platform::FtpHandle connection, const std::string& remote_name, const std::string& local_path,
                       bool fail_if_exists, std::uint32_t attributes, std::uint32_t flags)
{
    log.push_back("get " + remote_name + " -> " + local_path + " " + std::to_string(fail_if_exists) + " " +
                  std::to_string(attributes) + " " + std::to_string(flags));
    auto found = remote.find(path_of(remote_name));
    if (!is(connection, Kind::connection) || found == remote.end() || found->second.folder ||
        (fail_if_exists && local->files.count(local_path))) {
        return false;
    }
    local->files[local_path] = found->second.bytes;
    return true;
}

bool FakeFtp::put_file(platform::FtpHandle connection, const std::string& local_path, const std::string& remote_name,
                       std::uint32_t flags)
{
    log.push_back("put " + local_path + " -> " + remote_name + " " + std::to_string(flags));
    auto source = local->files.find(local_path);
    if (!is(connection, Kind::connection) || source == local->files.end() || fail_uploads)
        return false;
    const std::string path = path_of(remote_name);
    const auto slash = path.rfind('/');
    if (slash != std::string::npos && !(remote.count(path.substr(0, slash)) && remote[path.substr(0, slash)].folder)) {
        return false; // no such remote folder
    }
    remote[path] = Remote{source->second, false, 0, {}, 0};
    return true;
}

bool FakeFtp::delete_file(platform::FtpHandle connection, const std::string& name)
{
    log.push_back("delete " + name);
    auto found = remote.find(path_of(name));
    if (!is(connection, Kind::connection) || found == remote.end() || found->second.folder)
        return false;
    remote.erase(found);
    return true;
}

bool FakeFtp::rename_file(platform::FtpHandle connection, const std::string& old_name, const std::string& new_name)
{
    log.push_back("rename " + old_name + " -> " + new_name);
    auto found = remote.find(path_of(old_name));
    if (!is(connection, Kind::connection) || found == remote.end())
        return false;
    Remote entry = found->second;
    remote.erase(found);
    remote[path_of(new_name)] = entry;
    return true;
}

bool FakeFtp::close_handle(platform::FtpHandle handle)
{
    log.push_back("close " + std::to_string(handle));
    // As the real services: closing a handle closes what was opened on it.
    for (auto it = open_.begin(); it != open_.end();) {
        auto child = it++;
        if (child->second.parent == handle) {
            const platform::FtpHandle value = child->first;
            close_handle(value);
            it = open_.upper_bound(value);
        }
    }
    return open_.erase(handle) != 0;
}

std::optional<std::uint32_t> FakeFtp::local_attributes(const std::string& path)
{
    if (local->files.count(path) == 0)
        return std::nullopt;
    return platform::file_attribute_archive;
}

bool FakeFtp::delete_local_file(const std::string& path)
{
    return local->delete_file(path);
}

bool FakeFtp::set_local_file_times(const std::string& path, platform::FileTime local_time)
{
    if (local->files.count(path) == 0)
        return false;
    local_times[path] = local_time;
    return true;
}

} // namespace om::test
