#pragma once
// The window om_update built with FLTK: the controls at their design positions at the screen's scale, two
// timers, a message box, and the message loop.
#include "platform/window.hpp"

#include <map>
#include <memory>
#include <string>

class Fl_Double_Window;
class Fl_Widget;
class Fl_Box;
class Fl_Progress;
class Fl_Button;
class Fl_Check_Button;
class Fl_Input;
class Fl_Text_Display;
class Fl_Text_Buffer;

namespace om::platform::posix {

// The text FLTK is given to draw for a caption or the rich text panel. The Windows controls break a
// line at a carriage return, a line feed or the pair CR LF; FLTK breaks only at a line feed and draws
// a carriage return as "^M" or a box, so CR LF becomes one line feed and any other CR a line feed.
std::string fltk_shown_text(const std::string& text);

class FltkWindow : public Window {
public:
    FltkWindow();
    ~FltkWindow() override;
    FltkWindow(const FltkWindow&) = delete;
    FltkWindow& operator=(const FltkWindow&) = delete;

    void set_handler(WindowEvents* events) override { events_ = events; }
    void set_title(const std::string& title) override;
    std::string title() override { return title_; }
    void set_text(Control control, const std::string& text) override;
    std::string text(Control control) override;
    void set_visible(Control control, bool visible) override;
    bool visible(Control control) override;
    void set_enabled(Control control, bool enabled) override;
    bool enabled(Control control) override;
    void set_height(int twips) override;
    int height() override;
    void set_top(int twips) override;
    int top() override;
    void show() override;
    bool shown() override;
    int put_on_top() override;
    bool set_progress_max(double maximum) override;
    double progress_max() override;
    void set_progress_value(double value) override;
    double progress_value() override;
    void enable_timer(Timer timer, bool enabled) override;
    void message_box(const std::string& text) override;
    void yield() override;
    void wait_events(int milliseconds) override;
    void run() override;

private:
    struct TimerSlot {
        FltkWindow* owner;
        Timer timer;
        double seconds;
        bool running = false;
    };
    static void on_widget(Fl_Widget* widget, void* data);
    static void on_close(Fl_Widget* widget, void* data);
    static void on_tick(void* data);
    // Runs one event handler; an ordinary failure in it does not stop the message loop.
    template <class Handler> void dispatch(Handler&& handler);

    WindowEvents* events_ = nullptr;
    std::string title_;
    int dpi_; // the screen's dots per inch; twips become pixels at this scale
    // The panel's buffer outlives the window: the panel detaches from its buffer when it is destroyed.
    std::unique_ptr<Fl_Text_Buffer> rich_text_;
    std::unique_ptr<Fl_Double_Window> window_;
    std::map<Control, Fl_Widget*> widgets_;
    std::map<Control, std::string> labels_;       // the captions as set, which text() returns
    std::map<Control, std::string> shown_labels_; // FLTK keeps label pointers; the drawn texts live here
    std::string rich_text_value_;                 // the panel's text as set
    Fl_Progress* progress_ = nullptr;
    Fl_Input* website_ = nullptr;
    Fl_Check_Button* skip_ = nullptr;
    TimerSlot count_down_{this, Timer::CountDown, 0.2};
    TimerSlot kill_timer_{this, Timer::KillTimer, 1.7};
    bool first_show_reported_ = false;
    bool placed_ = false; // given its first place on the screen, or moved by the updater
};

} // namespace om::platform::posix
