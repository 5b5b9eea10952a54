#pragma once
// A session with fake services and a FakeHttp release site at 127.0.0.1/rel/.
#include "support/fake_http.hpp"
#include "support/test_platform.hpp"

#include <gtest/gtest.h>

namespace om::test {

inline const std::string support_url = "http://127.0.0.1/rel/support_files/";
inline const std::string page_url = "http://127.0.0.1/rel/ombrix.html";
inline const std::string exe_url = "http://127.0.0.1/rel/latest_omexe/";

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
    // The page carries the version marker and a feature section of two items; each listing one name.
    void site(const std::string& marker, const std::string& support_name, const std::string& exe_name)
    {
        http.responses[page_url].body = "<html><body>\n<h1>Ombrix " + marker +
                                        "</h1>\n<p>New Feature Update</p>\n<ul>\n<li>&gt; faster</li>\n" +
                                        "<li>&gt; smaller</li>\n</ul>\n<p>Ombrix Features</p>\n</body></html>\n";
        http.responses[support_url].body = "<ul><li><a href=\"" + support_name + "\"></a></li></ul>";
        http.responses[exe_url].body = "<ul><li><a href=\"" + exe_name + "\"></a></li></ul>";
    }
    std::string label1() { return fakes.window.text(platform::Control::Label1); }
};

} // namespace om::test
