#include "common/log.hpp"

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <memory>
#include <system_error>

namespace om::log {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

struct LogFile {
    std::unique_ptr<std::FILE, FileCloser> file;
    std::string path;
    unsigned long process_id = 0;
};

LogFile& the_log()
{
    static LogFile log;
    return log;
}

void rotate_if_full(const std::string& path)
{
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || static_cast<long long>(size) <= rotate_bytes)
        return;
    std::filesystem::rename(path, path + ".1", error);
    if (!error)
        return;
    // Some systems refuse a rename onto an existing file: the old .1 goes, then the rename is tried
    // again. Where another run holds the file open it still fails, and the log grows until a later run.
    std::filesystem::remove(path + ".1", error);
    std::filesystem::rename(path, path + ".1", error);
}

std::unique_ptr<std::FILE, FileCloser> open_for_append(const std::string& path)
{
    return std::unique_ptr<std::FILE, FileCloser>(std::fopen(path.c_str(), "ab"));
}

std::string timestamp()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#if defined(_WIN32)
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32] = {};
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

} // namespace

void open(const std::string& path, unsigned long process_id)
{
    LogFile& log = the_log();
    log.file.reset();
    log.path.clear();
    if (path.empty())
        return;
    std::error_code error;
    std::filesystem::create_directories(std::filesystem::path(path).parent_path(), error);
    rotate_if_full(path);
    log.file = open_for_append(path);
    if (!log.file)
        return;
    log.path = path;
    log.process_id = process_id;
}

void line(std::string_view text)
{
    LogFile& log = the_log();
    if (!log.file)
        return;
    std::string entry = timestamp() + " [" + std::to_string(log.process_id) + "] ";
    for (char c : text) {
        if (c == '\r')
            continue;
        if (c == '\n')
            entry += " | ";
        else
            entry += c;
    }
    entry += '\n';
    // A failed write (disk full) is not retried: the update goes on without its log.
    if (std::fwrite(entry.data(), 1, entry.size(), log.file.get()) != entry.size() || std::fflush(log.file.get()) != 0)
        return;
    if (std::ftell(log.file.get()) > rotate_bytes) {
        log.file.reset();
        rotate_if_full(log.path);
        log.file = open_for_append(log.path);
    }
}

const std::string& path()
{
    return the_log().path;
}

std::string with_path(const std::string& message)
{
    if (path().empty())
        return message;
    return message + "\r\n\r\nLog: " + path();
}

void close()
{
    the_log().file.reset();
    the_log().path.clear(); // no message names a log that is no longer written
}

} // namespace om::log
