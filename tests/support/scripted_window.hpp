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
    void set_title(const std::string& title) override { note("title=" + (title_ = title)); }
    std::string title() override { return title_; }
    void set_text(platform::Control control, const std::string& text) override;
    std::string text(platform::Control control) override { return texts_[control]; }
    void set_visible(platform::Control control, bool visible) override;
    bool visible(platform::Control control) override;
    void set_enabled(platform::Control control, bool enabled) override;
    bool enabled(platform::Control control) override { return !disabled_[control]; }
    void set_height(int twips) override { note("height=" + std::to_string(height_ = twips)); }
    int height() override { return height_; }
    void set_top(int twips) override { note("top=" + std::to_string(top_ = twips)); }
    int top() override { return top_; }
    void show() override { shown_ = true, note("show"); }
    bool shown() override { return shown_; }
    int put_on_top() override { return note("on_top"), 1; }
    bool set_progress_max(double maximum) override;
    double progress_max() override { return max_; }
    void set_progress_value(double value) override;
    double progress_value() override { return value_; }
    void enable_timer(platform::Timer timer, bool enabled) override;
    void message_box(const std::string& text) override { note("box " + text); }
    void yield() override;
    void wait_events(int milliseconds) override;
    void run() override {}

private:
    void note(const std::string& entry) { log.push_back(entry); }

    platform::WindowEvents* events_ = nullptr;
    std::string title_ = "Ombrix Updater";
    std::map<platform::Control, std::string> texts_;
    std::map<platform::Control, bool> visible_, disabled_;
    int height_ = 5865, top_ = 0;
    bool shown_ = false, in_yield_ = false;
    double max_ = 100, value_ = 0;
};

} // namespace om::test
