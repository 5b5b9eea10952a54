#include "release/notify.hpp"

#include "release_fixture.hpp"

namespace om {
namespace {

using platform::Control;

struct Notify : test::ReleaseSession {
    void versions(std::array<std::int16_t, 3> web, std::array<std::int16_t, 3> quick)
    {
        s.web_version_parts = web;
        s.exe_version_parts = quick;
        s.web_msi_version_text = ombrix(web);
        s.web_exe_version_text = ombrix(quick);
    }
    std::vector<std::string> first(std::size_t n)
    {
        const auto& log = fakes.window.log;
        return {log.begin(), log.begin() + static_cast<std::ptrdiff_t>(std::min(n, log.size()))};
    }
    static std::string ombrix(std::array<std::int16_t, 3> v)
    {
        return "Ombrix v." + std::to_string(v[0]) + "." + std::to_string(v[1]) + "." + std::to_string(v[2]);
    }
};

const std::string up_to_date = "Congratulations you have the latest version of Ombrix! The Web version is ";

TEST_F(Notify, UpToDateNamesOneVersionAndStartsTheCountDown)
{
    versions({2, 1, 5}, {0, 0, 0});
    notify(context);
    EXPECT_EQ(label1(), up_to_date + "Ombrix v.2.1.5 <msi>.");
    EXPECT_EQ(fakes.window.height(), 2805);
    // Order: captions, label, height, enable, Label, timers.
    std::vector<std::string> expected{
        "text CheckNow2=Exit", "text CheckNow0=ReCheck", "text Label1=" + up_to_date + "Ombrix v.2.1.5 <msi>.",
        "height=2805",         "enabled CheckNow0=1",    "visible Label=1",
        "timer count_down=1",  "timer kill_timer=1"};
    EXPECT_EQ(fakes.window.log, expected);
    EXPECT_EQ(fakes.window.yields, 4);

    fakes.window.log.clear();
    fakes.window.set_height(5000);
    versions({2, 1, 5}, {2, 1, 6});
    notify(context);
    EXPECT_EQ(label1(), up_to_date + "Ombrix v.2.1.6 <om_exe>.");
    EXPECT_EQ(fakes.window.height(), 5000);

    versions({2, 1, 5}, {2, 2, 0});
    notify(context);
    EXPECT_EQ(label1(), up_to_date + "Ombrix v.2.1.5 <msi>.");
}

TEST_F(Notify, OfferPromptsInTheirOrder)
{
    s.msi_address = "127.0.0.1/rel/ombrix32_v2.1.5.msi";
    s.exe_address = "127.0.0.1/rel//latest_omexe/om_exe.v.2.1.6.exe";
    s.msi_available = s.exe_available = true;
    versions({2, 1, 5}, {2, 1, 6});
    notify(context);
    EXPECT_EQ(fakes.window.text(Control::Info), "Install both automatically?");
    std::vector<std::string> expected{"visible skip=0",
                                      "visible skip=1",
                                      "text CheckNow0=Re_Check",
                                      "visible CheckNow1=1",
                                      "visible CheckNow2=1",
                                      "visible om_website=0",
                                      "text Label1=A full version is available:\r<" + s.msi_address +
                                          ">. \rA quickie update (usually for bug fixes or tune-ups) is also "
                                          "available:\r<om_exe.v.2.1.6.exe>.",
                                      "text info=Install both automatically?",
                                      "height=4680"};
    // The download planning runs last and may add its own entries.
    EXPECT_EQ(first(expected.size()), expected);
    EXPECT_EQ(fakes.window.yields, 3);

    // An older quick update is dropped; the full-version prompt remains.
    fakes.window.log.clear();
    versions({2, 1, 5}, {2, 1, 4});
    notify(context);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(label1(), "A full version is available:\r<" + s.msi_address + ">. ");
    EXPECT_FALSE(fakes.window.visible(Control::Skip));

    // Equal quick update stays.
    s.exe_available = true;
    versions({2, 1, 5}, {2, 1, 5});
    notify(context);
    EXPECT_TRUE(s.exe_available);
    EXPECT_EQ(fakes.window.text(Control::Info), "Install both automatically?");

    // A pending support file wins, and the height is left alone.
    fakes.window.set_height(2805);
    s.support_available = true;
    s.support_file = "up_support_b.exe";
    notify(context);
    EXPECT_EQ(fakes.window.text(Control::Info), "Install automatically?");
    EXPECT_EQ(label1().rfind("A necessary support file is available:\r<up_support_b.exe>.", 0), 0u);
    EXPECT_EQ(fakes.window.height(), 2805);
}

TEST_F(Notify, NoPromptAppliesKeepsTheCaptions)
{
    fakes.window.set_text(Control::Label1, "earlier");
    s.exe_available = true;
    s.exe_address = "127.0.0.1/rel//latest_omexe/om_exe.v.2.1.6.exe";
    versions({1, 9, 9}, {2, 1, 6});
    fakes.window.log.clear();
    notify(context);
    EXPECT_FALSE(s.exe_available);
    EXPECT_EQ(label1(), "earlier");
    EXPECT_EQ(first(2), (std::vector<std::string>{"visible skip=0", "height=4680"}));
    // "om_exe" without a later ".exe" leaves the download name as it was.
    s.download_name = "kept";
    s.exe_address = "127.0.0.1/om_exe.v.2";
    notify(context);
    EXPECT_EQ(s.download_name, "kept");
}

} // namespace
} // namespace om
