#include "support/scripted_window.hpp"

#include "support/fake_services.hpp"

#include <cstdio>

namespace om::test {

using platform::Control;
using platform::Timer;

namespace {

// Each control's name in the log, and its text and visibility as designed.
struct Design {
    Control control;
    const char* name;
    const char* text;
    bool visible;
};
constexpr Design designs[] = {
    {Control::Label1, "Label1", "Checking for update!", true},
    {Control::ProgressBar1, "ProgressBar1", "", true},
    {Control::CheckNow0, "CheckNow0", "Check", false},
    {Control::Info, "info", "om_website:", true},
    {Control::OmWebsite, "om_website", "", true},
    {Control::CheckNow1, "CheckNow1", "Install", false},
    {Control::CheckNow2, "CheckNow2", "Cancel", false},
    {Control::RichTextBox1, "RichTextBox1", "RichTextBox1", true},
    {Control::Skip, "skip", "MSI file is in om_msi directory. Skip download to use this file?", false},
    {Control::Label, "Label", "Exiting ", false},
};

const Design& design_of(Control control)
{
    for (const Design& design : designs)
        if (design.control == control)
            return design;
    static constexpr Design unknown{Control::Label1, "?", "", true};
    return unknown;
}

bool visible_at_design(Control control)
{
    return design_of(control).visible;
}

std::string design_text(Control control)
{
    return design_of(control).text;
}

const char* timer_name(Timer timer)
{
    return timer == Timer::CountDown ? "count_down" : "kill_timer";
}

} // namespace

const char* control_name(Control control)
{
    return design_of(control).name;
}

void ScriptedWindow::press(int index)
{
    if (events_)
        events_->on_check_now(index);
}

void ScriptedWindow::type(const std::string& characters)
{
    for (char c : characters) {
        texts_[Control::OmWebsite] += c;
        log.push_back(std::string("text om_website=") + texts_[Control::OmWebsite]);
        if (events_)
            events_->on_website_change();
    }
}

void ScriptedWindow::tick(Timer timer)
{
    if (events_)
        events_->on_timer(timer);
}

void ScriptedWindow::click_skip(bool checked)
{
    if (events_)
        events_->on_skip_click(checked);
}

void ScriptedWindow::close()
{
    if (events_)
        events_->on_unload();
}

std::vector<std::string> ScriptedWindow::entries(const std::string& prefix) const
{
    std::vector<std::string> out;
    for (const auto& entry : log)
        if (entry.rfind(prefix, 0) == 0)
            out.push_back(entry);
    return out;
}

void ScriptedWindow::set_title(const std::string& title)
{
    title_ = title;
    log.push_back("title=" + title);
}

void ScriptedWindow::set_text(Control control, const std::string& text)
{
    if (!texts_.count(control))
        texts_[control] = design_text(control);
    const bool changed = texts_[control] != text;
    texts_[control] = text;
    log.push_back(std::string("text ") + control_name(control) + "=" + text);
    // Like the designed field, the change handler runs only when the text really changes.
    if (control == Control::OmWebsite && changed && events_)
        events_->on_website_change();
}

void ScriptedWindow::set_visible(Control control, bool visible)
{
    visible_[control] = visible;
    log.push_back(std::string("visible ") + control_name(control) + "=" + (visible ? "1" : "0"));
}

bool ScriptedWindow::visible(Control control)
{
    auto it = visible_.find(control);
    return it == visible_.end() ? visible_at_design(control) : it->second;
}

void ScriptedWindow::set_enabled(Control control, bool enabled)
{
    enabled_[control] = enabled;
    log.push_back(std::string("enabled ") + control_name(control) + "=" + (enabled ? "1" : "0"));
}

bool ScriptedWindow::enabled(Control control)
{
    auto it = enabled_.find(control);
    return it == enabled_.end() ? true : it->second;
}

void ScriptedWindow::set_height(int twips)
{
    height_ = twips;
    log.push_back("height=" + std::to_string(twips));
}

void ScriptedWindow::set_top(int twips)
{
    top_ = twips;
    log.push_back("top=" + std::to_string(twips));
}

void ScriptedWindow::show()
{
    shown_ = true;
    log.push_back("show");
}

int ScriptedWindow::put_on_top()
{
    log.push_back("on_top");
    return 1;
}

// The bar's numbers as logged: whole, whatever their size.
static std::string whole_number(double value)
{
    char text[400];
    std::snprintf(text, sizeof text, "%.0f", value);
    return text;
}

bool ScriptedWindow::set_progress_max(double maximum)
{
    if (!(maximum > 0))
        return false; // the bar takes only a maximum above its minimum
    max_ = maximum;
    log.push_back("max=" + whole_number(maximum));
    return true;
}

void ScriptedWindow::set_progress_value(double value)
{
    value_ = value;
    log.push_back("value=" + whole_number(value));
}

void ScriptedWindow::enable_timer(Timer timer, bool enabled)
{
    timers_[timer] = enabled;
    log.push_back(std::string("timer ") + timer_name(timer) + "=" + (enabled ? "1" : "0"));
}

void ScriptedWindow::message_box(const std::string& text)
{
    log.push_back("box " + text);
}

void ScriptedWindow::yield()
{
    ++yields;
    if (on_yield && !in_yield_) {
        in_yield_ = true;
        struct Reset {
            bool& flag;
            ~Reset() { flag = false; }
        } reset{in_yield_};
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
