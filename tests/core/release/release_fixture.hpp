#pragma once
// A session with fake services and a FakeHttp release site at 127.0.0.1/rel/.
#include "support/fake_http.hpp"
#include "support/support.hpp"

#include <gtest/gtest.h>

namespace om::test {

inline const std::string support_url = "http://127.0.0.1/rel/support_files/";
inline const std::string page_url = "http://127.0.0.1/rel/ombrix.html";
inline const std::string exe_url = "http://127.0.0.1/rel/latest_omexe/";

// A release page with the version marker and a feature section of two items.
inline std::string release_page(const std::string& marker)
{
    return "<html><body>\n<h1>Ombrix " + marker + "</h1>\n<p>New Feature Update</p>\n<ul>\n<li>&gt; faster</li>\n" +
           "<li>&gt; smaller</li>\n</ul>\n<p>Ombrix Features</p>\n</body></html>\n";
}

inline std::string listing(const std::string& name)
{
    return "<ul>" + (name.empty() ? "" : "<li><a href=\"" + name + "\">" + name + "</a></li>") + "</ul>";
}

struct ReleaseSession : ::testing::Test {
    TestPlatform fakes;
    FakeHttp http;
    platform::Platform services = (fakes.http = &http, fakes.services());
    Context context{services};
    Session& s = context.session;

    ReleaseSession()
    {
        s.install_dir = "C:\\Ombrix\\";
        s.site = "127.0.0.1/rel/ombrix.html";
        s.installed_version = "2.1.5";
        site("(v.2.1.5)", "", "");
    }

    void site(const std::string& marker, const std::string& support_name, const std::string& exe_name)
    {
        http.responses[support_url].body = listing(support_name);
        http.responses[page_url].body = release_page(marker);
        http.responses[exe_url].body = listing(exe_name);
    }

    std::string label1() { return fakes.window.text(platform::Control::Label1); }
};

} // namespace om::test
