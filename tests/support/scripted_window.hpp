#pragma once
// A window for tests: keeps each property, records every change in order and runs a test's code at
// each yield, as a user or a timer would act in the middle of an operation.
#include "platform/window.hpp"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace om::test {

class FakeClock;

class ScriptedWindow : public platform::Window {
public:
    using Control = platform::Control;
    // Every change, in order: "text Label1=...", "visible CheckNow1=1", "enabled CheckNow0=0",
    // "height=2805", "top=-3000", "title=...", "show", "on_top", "timer count_down=1", "box ...",
    // "max=1000", "value=400". Yields are counted, not logged.
    std::vector<std::string> log;
    int yields = 0;
    std::function<void()> on_yield; // runs at every yield and wait, before the clock advances
    FakeClock* clock = nullptr;     // when set, wait_events advances it by the time waited
    long long waited_ms = 0;

    // Entries of the log that start with a prefix, in order.
    std::vector<std::string> entries(const std::string& prefix) const;

    void set_handler(platform::WindowEvents* events) override { events_ = events; }
    void set_title(const std::string& title) override { keep(title_, title, "title=" + title); }
    std::string title() override { return title_; }
    void set_text(Control control, const std::string& text) override;
    std::string text(Control control) override { return texts_[control]; }
    void set_visible(Control control, bool on) override { keep(visible_[control], on, entry("visible", control, on)); }
    bool visible(Control control) override;
    void set_enabled(Control control, bool on) override { keep(enabled_[control], on, entry("enabled", control, on)); }
    bool enabled(Control control) override { return !enabled_.count(control) || enabled_[control]; }
    void set_height(int twips) override { keep(height_, twips, "height=" + std::to_string(twips)); }
    int height() override { return height_; }
    void set_top(int twips) override { keep(top_, twips, "top=" + std::to_string(twips)); }
    int top() override { return top_; }
    void show() override { keep(shown_, true, "show"); }
    bool shown() override { return shown_; }
    int put_on_top() override;
    bool set_progress_max(double maximum) override;
    double progress_max() override { return max_; }
    void set_progress_value(double value) override { keep(value_, value, "value=" + whole_number(value)); }
    double progress_value() override { return value_; }
    void enable_timer(platform::Timer timer, bool on) override;
    void message_box(const std::string& text) override { log.push_back("box " + text); }
    void yield() override;
    void wait_events(int milliseconds) override;
    void run() override {}

private:
    // A property takes its new value and the change is logged.
    template <class T> void keep(T& property, const T& value, const std::string& change)
    {
        property = value;
        log.push_back(change);
    }
    static std::string entry(const char* what, Control control, bool on);
    static std::string whole_number(double value); // the bar's numbers: whole, whatever their size

    platform::WindowEvents* events_ = nullptr;
    std::string title_ = "Ombrix Updater";
    std::map<Control, std::string> texts_;
    std::map<Control, bool> visible_, enabled_;
    int height_ = 5865, top_ = 0;
    bool shown_ = false, in_yield_ = false;
    double max_ = 100, value_ = 0;
};

} // namespace om::test
