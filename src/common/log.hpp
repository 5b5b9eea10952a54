#pragma once
// The run's log: one file per user that support can ask for. Each event is one line with the local
// time and the process id. The log never stops or slows the update: a log that cannot be opened or
// written is simply left off, and every call here is then a no-op.
#include <string>
#include <string_view>

namespace om::log {

// The file passes this size, it becomes `path` + ".1" (one old file kept) and a new one is begun.
inline constexpr long long rotate_bytes = 1024 * 1024;

// Opens (appends to) the log at `path`, creating its folder; rotates it first when it has passed
// rotate_bytes. An empty path leaves the log off.
void open(const std::string& path, unsigned long process_id);
// Writes one event line. Line breaks inside `text` are written as " | ".
void line(std::string_view text);
// The log's path, "" when no log is open.
const std::string& path();
// A message for the user after a failure: `message`, then the log's path when there is a log.
std::string with_path(const std::string& message);
// Closes the log (also done at exit).
void close();

} // namespace om::log
