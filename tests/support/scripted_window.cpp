#include "support/scripted_window.hpp"

#include "support/fake_services.hpp"

#include <cstdio>

namespace om::test {

using platform::Control;

namespace {

// Each control's name in the log, in the order of platform::Control, and whether it shows at design.
struct Design {
    const char* name;
    bool visible;
};
constexpr Design designs[] = {
    {"Label1", true},     {"ProgressBar1", true}, {"CheckNow0", false},   {"info", true},  {"om_website", true},
    {"CheckNow1", false}, {"CheckNow2", false},   {"RichTextBox1", true}, {"skip", false}, {"Label", false}};

std::string name(Control control)
{
    return designs[static_cast<int>(control)].name;
}

// The bar's numbers as logged: whole, whatever their size.
std::string whole_number(double value)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

} // namespace

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
    texts_[control] = text;
    note("text " + name(control) + "=" + text);
    // Like the designed field, the change handler runs only when the text really changes.
    if (control == Control::OmWebsite && changed && events_)
        events_->on_website_change();
}

void ScriptedWindow::set_visible(Control control, bool visible)
{
    visible_[control] = visible;
    note("visible " + name(control) + "=" + (visible ? "1" : "0"));
}

bool ScriptedWindow::visible(Control control)
{
    return visible_.count(control) ? visible_[control] : designs[static_cast<int>(control)].visible;
}

void ScriptedWindow::set_enabled(Control control, bool enabled)
{
    disabled_[control] = !enabled;
    note("enabled " + name(control) + "=" + (enabled ? "1" : "0"));
}

bool ScriptedWindow::set_progress_max(double maximum)
{
    if (!(maximum > 0))
        return false; // the bar takes only a maximum above its minimum
    max_ = maximum;
    note("max=" + whole_number(maximum));
    return true;
}

void ScriptedWindow::set_progress_value(double value)
{
    value_ = value;
    note("value=" + whole_number(value));
}

void ScriptedWindow::enable_timer(platform::Timer timer, bool enabled)
{
    note(std::string("timer ") + (timer == platform::Timer::CountDown ? "count_down" : "kill_timer") + "=" +
         (enabled ? "1" : "0"));
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
