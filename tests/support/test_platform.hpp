#pragma once
// A whole platform of fakes, wired together, for tests that drive the session logic.
#include "app/context.hpp"
#include "support/fake_ftp.hpp"
#include "support/scripted_window.hpp"

namespace om::test {

// HTTP and FTP stand-ins are added by the tests that need them; these fail every call (NoFtp: fake_ftp.hpp).
struct NoHttp : platform::HttpService {
    std::unique_ptr<platform::HttpRequest> create_request() override { return nullptr; }
};

struct TestPlatform {
    FakeRegistry registry;
    FakeVersionInfo versions;
    FakeFiles files;
    FakeProcesses processes{&files};
    FakeClock clock;
    FakeNetwork network;
    ScriptedWindow window{&clock};
    NoHttp no_http;
    NoFtp no_ftp;
    FakePackages packages{&files};
    platform::HttpService* http = &no_http;
    platform::FtpService* ftp = &no_ftp;

    platform::Platform services()
    {
        return platform::Platform{registry, versions, files, processes, clock, network, window, *http, *ftp, packages};
    }
};

// Runs an action of the session logic; true when it ended the program.
template <class Action> bool ends_program(Action&& action)
{
    try {
        action();
    } catch (const ProgramEnded&) {
        return true;
    }
    return false;
}

} // namespace om::test
