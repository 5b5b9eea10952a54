#pragma once
// A whole platform of fakes, wired together, for tests that drive the session logic.
#include "app/context.hpp"
#include "support/fake_services.hpp"
#include "support/scripted_window.hpp"

namespace om::test {

// HTTP and FTP stand-ins are added by the tests that need them; these fail every call.
class NoHttp : public platform::HttpService {
public:
    std::unique_ptr<platform::HttpRequest> create_request() override { return nullptr; }
};

class NoFtp : public platform::FtpService {
public:
    platform::FtpHandle internet_open(const std::string&, std::uint32_t, std::uint32_t) override { return 0; }
    bool set_option(platform::FtpHandle, std::uint32_t, std::uint32_t) override { return false; }
    platform::FtpHandle connect(platform::FtpHandle, const std::string&, int, const std::string&, const std::string&,
                                std::uint32_t, std::uint32_t) override
    {
        return 0;
    }
    platform::FtpHandle find_first(platform::FtpHandle, const std::string&, platform::FtpFindData&,
                                   std::uint32_t) override
    {
        return 0;
    }
    bool find_next(platform::FtpHandle, platform::FtpFindData&) override { return false; }
    bool get_current_directory(platform::FtpHandle, std::span<char>, std::uint32_t&) override { return false; }
    bool set_current_directory(platform::FtpHandle, const std::string&) override { return false; }
    bool create_directory(platform::FtpHandle, const std::string&) override { return false; }
    bool remove_directory(platform::FtpHandle, const std::string&) override { return false; }
    bool get_file(platform::FtpHandle, const std::string&, const std::string&, bool, std::uint32_t,
                  std::uint32_t) override
    {
        return false;
    }
    bool put_file(platform::FtpHandle, const std::string&, const std::string&, std::uint32_t) override { return false; }
    bool delete_file(platform::FtpHandle, const std::string&) override { return false; }
    bool rename_file(platform::FtpHandle, const std::string&, const std::string&) override { return false; }
    bool close_handle(platform::FtpHandle) override { return false; }
    std::optional<std::uint32_t> local_attributes(const std::string&) override { return std::nullopt; }
    bool delete_local_file(const std::string&) override { return false; }
    bool set_local_file_times(const std::string&, platform::FileTime) override { return false; }
};

struct TestPlatform {
    FakeRegistry registry;
    FakeVersionInfo versions;
    FakeFiles files;
    FakeProcesses processes;
    FakeClock clock;
    FakeNetwork network;
    ScriptedWindow window;
    NoHttp no_http;
    NoFtp no_ftp;
    FakePackages packages;
    platform::HttpService* http = &no_http;
    platform::FtpService* ftp = &no_ftp;

    TestPlatform()
    {
        processes.files = &files;
        window.clock = &clock;
        packages.files = &files;
    }

    platform::Platform services()
    {
        return platform::Platform{registry, versions, files, processes, clock, network, window, *http, *ftp, packages};
    }
};

} // namespace om::test
