#pragma once
// A session at the point where the user pressed "Install": an installation in C:\Ombrix\ with
// ombrix32.exe 2.1.5, a release site on "site.test", and a request object answering from a script.
#include "fake_http.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om::test {

struct DownloadSession : ::testing::Test {
    const std::string dir = "C:\\Ombrix\\";
    const std::string main_exe = "C:\\Ombrix\\ombrix32.exe";
    TestPlatform fakes;
    platform::Platform services = fakes.services();
    Context context{services};
    ScriptedHttpRequest* http = nullptr;
    DownloadEvents events{context};

    DownloadSession()
    {
        auto request = std::make_unique<ScriptedHttpRequest>();
        http = request.get();
        request->set_events(&events);
        context.req = std::move(request);

        fakes.files.folders = {"C:\\Ombrix"};
        fakes.files.files["C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi"] = {'M', 'S', 'I', ' ', '2'};
        fakes.files.files[main_exe] = {'o', 'l', 'd'};
        fakes.versions.set_version(main_exe, 2, 1, 0, 5);
        fakes.registry.add_key("Software\\Kelvane\\Ombrix32");

        Session& s = context.session;
        s.install_dir = dir;
        s.site = "site.test/Ombrix/ombrix.html";
        s.web_version_parts = {2, 1, 6};
        s.uninstall_msi_path = "\"C:\\Ombrix\\om_msi\\ombrix32_v2.1.5.msi\"";
        s.msi_address = "site.test/Ombrix/ombrix32_v2.1.6.msi";
        s.exe_address = "site.test/Ombrix//latest_omexe/om_exe.v.2.1.7.exe";

        // Installers and packages write a new main executable, as the real ones do.
        fakes.processes.on_start = [this](const FakeProcesses::Start& start) {
            if (start.command_line.rfind("msiexec /package", 0) == 0 ||
                start.command_line.find(" -y -o") != std::string::npos)
                fakes.files.files[main_exe] = {'n', 'e', 'w'};
        };
    }

    void offer(const std::string& url, const std::string& body, long status = 200)
    {
        ScriptedResponse response;
        response.status = status;
        // Three chunks, as a body arrives over a connection.
        const std::size_t third = body.size() / 3;
        response.chunks = {body.substr(0, third), body.substr(third, third), body.substr(2 * third)};
        http->responses[url] = response;
    }

    std::vector<std::string> status_lines() const
    {
        std::vector<std::string> lines;
        for (const auto& entry : fakes.window.entries("text info="))
            lines.push_back(entry.substr(std::string("text info=").size()));
        return lines;
    }

    std::string file(const std::string& path) const
    {
        auto it = fakes.files.files.find(path);
        return it == fakes.files.files.end() ? "<missing>" : std::string(it->second.begin(), it->second.end());
    }
};

} // namespace om::test
