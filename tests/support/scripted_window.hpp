#pragma once
// A window for tests: records every property change in order, and lets a test press a button, type
// into the field, tick a timer, close the window and run code at each yield.
#include "platform/window.hpp"

#include <functional>
#include <map>
#include <string>
#include <vector>

namespace om::test {

class FakeClock;

const char* control_name(platform::Control control);

class ScriptedWindow : public platform::Window {
public:
    // Every change, in order: "text Label1=...", "visible CheckNow1=1", "enabled CheckNow0=0",
    // "height=2805", "top=-3000", "title=...", "show", "on_top", "timer CountDown=1", "box ...",
    // "max=1000", "value=400". Yields are counted, not logged.
    std::vector<std::string> log;
    int yields = 0;
    // Runs at every yield and wait (before the clock advances); lets a test act in the middle of an
    // operation, as a user or a timer would.
    std::function<void()> on_yield;
    // When set, wait_events advances this clock by the time waited.
    FakeClock* clock = nullptr;
    long long waited_ms = 0;

    // Test actions.
    void press(int index);
    void type(const std::string& characters);
    void tick(platform::Timer timer);
    void click_skip(bool checked);
    void close();

    // Entries of the log that start with a prefix, in order.
    std::vector<std::string> entries(const std::string& prefix) const;

    void set_handler(platform::WindowEvents* events) override { events_ = events; }
    void set_title(const std::string& title) override;
    std::string title() override { return title_; }
    void set_text(platform::Control control, const std::string& text) override;
    std::string text(platform::Control control) override { return texts_[control]; }
    void set_visible(platform::Control control, bool visible) override;
    bool visible(platform::Control control) override;
    void set_enabled(platform::Control control, bool enabled) override;
    bool enabled(platform::Control control) override;
    void set_height(int twips) override;
    int height() override { return height_; }
    void set_top(int twips) override;
    int top() override { return top_; }
    void show() override;
    bool shown() override { return shown_; }
    int put_on_top() override;
    bool set_progress_max(double maximum) override;
    double progress_max() override { return max_; }
    void set_progress_value(double value) override;
    double progress_value() override { return value_; }
    void enable_timer(platform::Timer timer, bool enabled) override;
    bool timer_enabled(platform::Timer timer) { return timers_[timer]; }
    void message_box(const std::string& text) override;
    void yield() override;
    void wait_events(int milliseconds) override;
    void run() override {}

private:
    platform::WindowEvents* events_ = nullptr;
    std::string title_ = "Ombrix Updater";
    std::map<platform::Control, std::string> texts_;
    std::map<platform::Control, bool> visible_;
    std::map<platform::Control, bool> enabled_;
    std::map<platform::Timer, bool> timers_;
    int height_ = 5865;
    int top_ = 0;
    bool shown_ = false;
    double max_ = 100;
    double value_ = 0;
    bool in_yield_ = false;
};

} // namespace om::test
