// A stand-in for one of the application's programs: it notes that it was started and with what, then
// waits as long as the test asks and exits 0. Built once per version it carries: in the ELF section
// ".om_version" on posix, in a VERSIONINFO resource on win32.
//   - appends "<own file name> <args...>" to "started.txt" in its own folder (so a test can see a restart);
//   - sleeps OM_STAND_IN_SLEEP_MS milliseconds, when set.
// On win32, as msiexec.exe with OM_STAND_IN_CODES naming a file of exit codes, one a line, each run takes
// the first: a code other than 0 or 3010 is returned at once; otherwise Wine's own msiexec, put beside
// it as msiexec_real.exe, runs the same command line, and 3010 stands for its 0.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>

#ifdef _WIN32
#include <process.h>
#include <windows.h>
constexpr const char* line_end = "\r\n";
#else
#include "platform/posix/version_block.hpp"
#include <unistd.h>
constexpr const char* line_end = "\n";
#ifdef OM_PROGRAM_VERSION
// OM_PROGRAM_VERSION is "major,minor,patch,tweak": expanded first, then split into the four numbers.
#define OM_EMBED_PROGRAM_VERSION(...) OM_EMBED_VERSION_BLOCK(__VA_ARGS__)
OM_EMBED_PROGRAM_VERSION(OM_PROGRAM_VERSION);
#endif
#endif

namespace {

std::string own_path()
{
    char buffer[4096] = {};
#ifdef _WIN32
    const long n = static_cast<long>(::GetModuleFileNameA(nullptr, buffer, sizeof buffer));
#else
    const long n = static_cast<long>(::readlink("/proc/self/exe", buffer, sizeof buffer - 1));
#endif
    return n > 0 ? std::string(buffer, static_cast<std::size_t>(n)) : std::string();
}

#ifdef _WIN32
int as_msiexec(const std::string& path, std::size_t slash, const char* codes_file, char** argv)
{
    int code = 0;
    char rest[256] = {};
    if (std::FILE* in = std::fopen(codes_file, "rb")) {
        if (std::fscanf(in, "%d ", &code) == 1)
            rest[std::fread(rest, 1, sizeof rest - 1, in)] = '\0';
        std::fclose(in);
    }
    if (std::FILE* out = std::fopen(codes_file, "wb")) {
        std::fputs(rest, out);
        std::fclose(out);
    }
    if (code != 0 && code != 3010)
        return code;
    // The arguments hold no blanks (the installers' names and C:\OmbrixTest\om_msi\), so none is split.
    const int real_code =
        static_cast<int>(::_spawnv(_P_WAIT, (path.substr(0, slash + 1) + "msiexec_real.exe").c_str(), argv));
    return real_code == 0 ? code : real_code;
}
#endif

} // namespace

int main(int argc, char** argv)
{
    const std::string path = own_path();
    const std::size_t slash = path.find_last_of("/\\");
    // Without a separator (npos + 1 == 0): no folder, and the whole path is the name.
    std::string line = path.substr(slash + 1);
#ifdef _WIN32
    if (const char* codes = std::getenv("OM_STAND_IN_CODES"); codes && ::_stricmp(line.c_str(), "msiexec.exe") == 0)
        return as_msiexec(path, slash, codes, argv);
#endif
    for (int i = 1; i < argc; ++i)
        line += std::string(" ") + argv[i];
    // C stdio rather than iostreams keeps the statically linked Windows stand-ins small.
    if (std::FILE* out = std::fopen((path.substr(0, slash + 1) + "started.txt").c_str(), "ab")) {
        std::fputs((line + line_end).c_str(), out);
        std::fclose(out);
    }
    if (const char* sleep_ms = std::getenv("OM_STAND_IN_SLEEP_MS"); sleep_ms && *sleep_ms)
        std::this_thread::sleep_for(std::chrono::milliseconds(std::atol(sleep_ms)));
    return 0;
}
