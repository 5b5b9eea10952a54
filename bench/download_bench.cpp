// Streams one package download through the real request object, the window's transfer events and the
// package writer, as the "Install" button does, and prints the time taken, the bytes written and (on
// posix) the process's peak resident memory. Run by download.sh against a loopback server; the win64
// build runs under Wine.
//   download_bench ADDRESS_WITHOUT_SCHEME TARGET_PATH
#include "app/context.hpp"
#include "download/request_events.hpp"
#include "download/transfer.hpp"
#ifdef _WIN32
#include "platform/win32/clock.hpp"
#include "platform/win32/file_system.hpp"
#include "platform/win32/ftp_wininet.hpp"
#include "platform/win32/http_winhttp.hpp"
#include "platform/win32/network.hpp"
#include "platform/win32/package_inspector.hpp"
#include "platform/win32/processes.hpp"
#include "platform/win32/registry.hpp"
#include "platform/win32/version_info.hpp"
#else
#include "platform/posix/clock.hpp"
#include "platform/posix/file_system.hpp"
#include "platform/posix/ftp_curl.hpp"
#include "platform/posix/http_curl.hpp"
#include "platform/posix/network.hpp"
#include "platform/posix/package_inspector.hpp"
#include "platform/posix/processes.hpp"
#include "platform/posix/registry_file.hpp"
#include "platform/posix/version_reader.hpp"

#include <sys/resource.h>
#endif

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <map>

namespace {

namespace platform = om::platform;

// The window without a display: the transfer events still set the bar and yield through it.
class HeadlessWindow : public platform::Window {
public:
    void set_handler(platform::WindowEvents*) override {}
    void set_title(const std::string& title) override { title_ = title; }
    std::string title() override { return title_; }
    void set_text(platform::Control control, const std::string& text) override { texts_[control] = text; }
    std::string text(platform::Control control) override { return texts_[control]; }
    void set_visible(platform::Control, bool) override {}
    bool visible(platform::Control) override { return true; }
    void set_enabled(platform::Control, bool) override {}
    bool enabled(platform::Control) override { return true; }
    void set_height(int twips) override { height_ = twips; }
    int height() override { return height_; }
    void set_top(int twips) override { top_ = twips; }
    int top() override { return top_; }
    void show() override {}
    bool shown() override { return true; }
    int put_on_top() override { return 1; }
    bool set_progress_max(double maximum) override
    {
        max_ = maximum;
        return true;
    }
    double progress_max() override { return max_; }
    void set_progress_value(double value) override { value_ = value; }
    double progress_value() override { return value_; }
    void enable_timer(platform::Timer, bool) override {}
    void message_box(const std::string&) override {}
    void yield() override { ++yields; }
    void wait_events(int) override { ++yields; }
    void run() override {}
    long long yields = 0;

private:
    std::string title_;
    std::map<platform::Control, std::string> texts_;
    int height_ = 0, top_ = 0;
    double max_ = 100, value_ = 0;
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: download_bench ADDRESS_WITHOUT_SCHEME TARGET_PATH\n");
        return 2;
    }
    HeadlessWindow window;
#ifdef _WIN32
    namespace win32 = platform::win32;
    win32::Win32Registry registry;
    win32::Win32VersionInfo versions;
    win32::Win32FileSystem files;
    win32::Win32Processes processes;
    win32::Win32Clock clock;
    win32::Win32Network network;
    win32::WinHttpService http;
    win32::WinInetFtpService ftp;
    win32::Win32PackageInspector packages;
#else
    namespace posix = platform::posix;
    posix::RegistryFile registry(posix::RegistryFile::default_path());
    posix::VersionReader versions;
    posix::PosixFileSystem files;
    posix::PosixProcesses processes({}, versions);
    posix::PosixClock clock;
    posix::PosixNetwork network;
    posix::CurlHttpService http;
    posix::CurlFtpService ftp;
    posix::PosixPackageInspector packages;
#endif
    platform::Platform services{registry, versions, files, processes, clock, network, window, http, ftp, packages};
    om::Context context(services);
    om::RequestEvents events(context);
    context.req = http.create_request();
    if (!context.req) {
        std::fprintf(stderr, "download_bench: this build has no HTTP request object\n");
        return 1;
    }
    context.req->set_events(&events);

    const auto start = std::chrono::steady_clock::now();
    try {
        om::fetch_to_file(context, argv[1], argv[2]);
    } catch (const std::exception& failure) {
        std::fprintf(stderr, "download_bench: %s\n", failure.what());
        return 1;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    long peak_rss_kb = 0;
#ifndef _WIN32
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    peak_rss_kb = usage.ru_maxrss;
#endif
    const auto bytes = std::filesystem::file_size(argv[2]);
    std::printf("bytes=%llu seconds=%.3f mb_per_s=%.1f peak_rss_kb=%ld yields=%lld\n",
                static_cast<unsigned long long>(bytes), seconds, bytes / 1e6 / seconds, peak_rss_kb, window.yields);
    return 0;
}
