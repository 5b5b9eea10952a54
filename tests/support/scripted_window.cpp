#include "support/scripted_window.hpp"

#include "support/fake_services.hpp"

#include <cstdio>

namespace om::test {

namespace {

// Each control's name in the log, in the order of platform::Control, and whether it shows at design.
struct Design {
    const char* name;
    bool visible;
};
constexpr Design designs[] = {
    {"Label1", true},     {"ProgressBar1", true}, {"CheckNow0", false},   {"info", true},  {"om_website", true},
    {"CheckNow1", false}, {"CheckNow2", false},   {"RichTextBox1", true}, {"skip", false}, {"Label", false}};

const Design& design(platform::Control control)
{
    return designs[static_cast<int>(control)];
}

} // namespace

std::string ScriptedWindow::entry(const char* what, Control control, bool on)
{
    return std::string(what) + " " + design(control).name + "=" + (on ? "1" : "0");
}

std::string ScriptedWindow::whole_number(double value)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

std::vector<std::string> ScriptedWindow::entries(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const auto& entry : log)
        if (entry.starts_with(prefix))
            out.push_back(entry);
    return out;
}

void ScriptedWindow::set_text(Control control, const std::string& text)
{
    const bool changed = texts_[control] != text;
    keep(texts_[control], text, std::string("text ") + design(control).name + "=" + text);
    // Like the designed field, the change handler runs only when the text really changes.
    if (control == Control::OmWebsite && changed && events_)
        events_->on_website_change();
}

bool ScriptedWindow::visible(Control control)
{
    return visible_.count(control) ? visible_[control] : design(control).visible;
}

int ScriptedWindow::put_on_top()
{
    log.push_back("on_top");
    return 1;
}

bool ScriptedWindow::set_progress_max(double maximum)
{
    if (!(maximum > 0))
        return false; // the bar takes only a maximum above its minimum
    keep(max_, maximum, "max=" + whole_number(maximum));
    return true;
}

void ScriptedWindow::enable_timer(platform::Timer timer, bool on)
{
    log.push_back(std::string("timer ") + (timer == platform::Timer::CountDown ? "count_down" : "kill_timer") + "=" +
                  (on ? "1" : "0"));
}

void ScriptedWindow::yield()
{
    ++yields;
    if (on_yield && !in_yield_) {
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{in_yield_ = true}; // a yield inside the test's code does not run it again
        on_yield();
    }
}

void ScriptedWindow::wait_events(int milliseconds)
{
    yield();
    waited_ms += milliseconds;
    if (clock)
        clock->monotonic += milliseconds;
}

} // namespace om::test
