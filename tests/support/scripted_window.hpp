#pragma once
// A window for tests: keeps each property, records every change in order and runs a test's code at
// each yield, as a user or a timer would act in the middle of an operation.
#include "support/fake_services.hpp"

#include <cstdio>

namespace om::test {

class ScriptedWindow : public platform::Window {
public:
    using Control = platform::Control;
    // Every change, in order: "text Label1=...", "visible CheckNow1=1", "enabled CheckNow0=0",
    // "height=2805", "top=-3000", "title=...", "show", "on_top", "timer count_down=1", "box ...",
    // "max=1000", "value=400". Yields are counted, not logged.
    std::vector<std::string> log;
    int yields = 0;
    std::function<void()> on_yield; // runs at every yield and wait, before the clock advances
    FakeClock* clock;               // when set, wait_events advances it by the time waited
    long long waited_ms = 0;

    explicit ScriptedWindow(FakeClock* advanced = nullptr) : clock(advanced) {}

    // Entries of the log that start with a prefix, in order.
    std::vector<std::string> entries(const std::string& prefix) const
    {
        std::vector<std::string> out;
        for (const auto& entry : log)
            if (entry.starts_with(prefix))
                out.push_back(entry);
        return out;
    }

    void set_handler(platform::WindowEvents* events) override { events_ = events; }
    void set_title(const std::string& title) override { keep(title_, title, "title=" + title); }
    std::string title() override { return title_; }
    void set_text(Control control, const std::string& text) override
    {
        const bool changed = texts_[control] != text;
        keep(texts_[control], text, "text " + name(control) + "=" + text);
        // Like the designed field, the change handler runs only when the text really changes.
        if (control == Control::OmWebsite && changed && events_)
            events_->on_website_change();
    }
    std::string text(Control control) override { return texts_[control]; }
    void set_visible(Control control, bool on) override { keep(visible_[control], on, entry("visible", control, on)); }
    // As designed, in the order of platform::Control: Label1, ProgressBar1, info, om_website and
    // RichTextBox1 show.
    bool visible(Control control) override
    {
        return visible_.count(control) ? visible_[control] : "1101100100"[static_cast<int>(control)] == '1';
    }
    void set_enabled(Control control, bool on) override { keep(enabled_[control], on, entry("enabled", control, on)); }
    bool enabled(Control control) override { return !enabled_.count(control) || enabled_[control]; }
    void set_height(int twips) override { keep(height_, twips, "height=" + std::to_string(twips)); }
    int height() override { return height_; }
    void set_top(int twips) override { keep(top_, twips, "top=" + std::to_string(twips)); }
    int top() override { return top_; }
    void show() override { keep(shown_, true, "show"); }
    bool shown() override { return shown_; }
    int put_on_top() override
    {
        log.push_back("on_top");
        return 1;
    }
    bool set_progress_max(double maximum) override
    {
        if (!(maximum > 0))
            return false; // the bar takes only a maximum above its minimum
        keep(max_, maximum, "max=" + whole_number(maximum));
        return true;
    }
    double progress_max() override { return max_; }
    void set_progress_value(double value) override { keep(value_, value, "value=" + whole_number(value)); }
    double progress_value() override { return value_; }
    void enable_timer(platform::Timer timer, bool on) override
    {
        const bool count_down = timer == platform::Timer::CountDown;
        log.push_back(std::string("timer ") + (count_down ? "count_down=" : "kill_timer=") + (on ? "1" : "0"));
    }
    void message_box(const std::string& text) override { log.push_back("box " + text); }
    void yield() override
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
    void wait_events(int milliseconds) override
    {
        yield();
        waited_ms += milliseconds;
        if (clock)
            clock->monotonic += milliseconds;
    }
    void run() override {}

private:
    // A property takes its new value and the change is logged.
    template <class T> void keep(T& property, const T& value, const std::string& change)
    {
        property = value;
        log.push_back(change);
    }
    // Each control's name in the log, in the order of platform::Control.
    static std::string name(Control control)
    {
        static const char* const names[] = {"Label1",    "ProgressBar1", "CheckNow0",    "info", "om_website",
                                            "CheckNow1", "CheckNow2",    "RichTextBox1", "skip", "Label"};
        return names[static_cast<int>(control)];
    }
    static std::string entry(const char* what, Control control, bool on)
    {
        return std::string(what) + " " + name(control) + "=" + (on ? "1" : "0");
    }
    static std::string whole_number(double value) // the bar's numbers: whole, whatever their size
    {
        char text[400];
        std::snprintf(text, sizeof text, "%.0f", value);
        return text;
    }

    platform::WindowEvents* events_ = nullptr;
    std::string title_ = "Ombrix Updater";
    std::map<Control, std::string> texts_;
    std::map<Control, bool> visible_, enabled_;
    int height_ = 5865, top_ = 0;
    bool shown_ = false, in_yield_ = false;
    double max_ = 100, value_ = 0;
};

} // namespace om::test
