// A stand-in for one of the application's programs: it notes that it was started and with what, then
// waits as long as the test asks and exits 0. Built once per version it carries.
//
//   - appends "<own file name> <args...>" to the file named by OM_STAND_IN_LOG, when set;
//   - appends the same line to "started.txt" in its own folder (so a test can see a restart);
//   - sleeps OM_STAND_IN_SLEEP_MS milliseconds, when set.
#include "platform/posix/version_block.hpp"

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>

#ifdef OM_PROGRAM_VERSION
// OM_PROGRAM_VERSION is "major,minor,patch,tweak": expanded first, then split into the four numbers.
#define OM_EMBED_PROGRAM_VERSION(...) OM_EMBED_VERSION_BLOCK(__VA_ARGS__)
OM_EMBED_PROGRAM_VERSION(OM_PROGRAM_VERSION);
#endif

namespace {

std::string own_path(const char* argv0)
{
    char buffer[4096];
    ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string(argv0);
}

void append_line(const std::string& file, const std::string& line)
{
    std::ofstream out(file, std::ios::app);
    out << line << '\n';
}

} // namespace

int main(int argc, char** argv)
{
    const std::string path = own_path(argc > 0 ? argv[0] : "");
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash);
    std::string line = slash == std::string::npos ? path : path.substr(slash + 1);
    for (int i = 1; i < argc; ++i)
        line += std::string(" ") + argv[i];

    if (const char* log = std::getenv("OM_STAND_IN_LOG"); log && *log)
        append_line(log, line);
    append_line(folder + "/started.txt", line);

    if (const char* sleep_ms = std::getenv("OM_STAND_IN_SLEEP_MS"); sleep_ms && *sleep_ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(sleep_ms)));
    return 0;
}
