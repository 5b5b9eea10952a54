#pragma once
// Window toolkit service: the one window "om_update", its controls, two timers, a message box and the
// message loop. Lengths are twips (15 to a pixel).
#include <string>

namespace om::platform {

enum class Control {
    Label1,       // status label, bold
    ProgressBar1, // progress bar
    CheckNow0,    // button "Check"
    Info,         // label "om_website:", bold
    OmWebsite,    // one-line text field with change notification
    CheckNow1,    // button "Install"
    CheckNow2,    // button "Cancel"
    RichTextBox1, // rich text panel
    Skip,         // check box, bold
    Label,        // label "Exiting ", bold
};

enum class Timer {
    CountDown, // 200 ms
    KillTimer, // 1700 ms
};

// What the window reports to the session logic. Every handler runs on the window's thread, from the
// message loop or from a yield.
class WindowEvents {
public:
    virtual ~WindowEvents() = default;
    virtual void on_check_now(int index) = 0;
    // checked: the box's new state (false when unchecked or greyed).
    virtual void on_skip_click(bool checked) = 0;
    // The field's text changed, by typing or by set_text from code.
    virtual void on_website_change() = 0;
    virtual void on_timer(Timer timer) = 0;
    // The user closed the window.
    virtual void on_unload() = 0;
};

class Window {
public:
    virtual ~Window() = default;
    virtual void set_handler(WindowEvents* events) = 0;

    virtual void set_title(const std::string& title) = 0;
    virtual std::string title() = 0;
    // Caption of a label, button or check box; text of the field (raises on_website_change) or of the
    // rich text panel.
    virtual void set_text(Control control, const std::string& text) = 0;
    virtual std::string text(Control control) = 0;
    virtual void set_visible(Control control, bool visible) = 0;
    virtual bool visible(Control control) = 0;
    virtual void set_enabled(Control control, bool enabled) = 0;
    virtual bool enabled(Control control) = 0;

    // Window height and top edge in twips.
    virtual void set_height(int twips) = 0;
    virtual int height() = 0;
    virtual void set_top(int twips) = 0;
    virtual int top() = 0;
    virtual void show() = 0;
    virtual bool shown() = 0;
    // SetWindowPos(HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE); returns the call's result.
    virtual int put_on_top() = 0;

    // Progress bar; set_progress_max returns false when the bar rejects the value.
    virtual bool set_progress_max(double maximum) = 0;
    virtual double progress_max() = 0;
    virtual void set_progress_value(double value) = 0;
    virtual double progress_value() = 0;

    virtual void enable_timer(Timer timer, bool enabled) = 0;

    // Modal message box with an OK button only and the program's own title.
    virtual void message_box(const std::string& text) = 0;

    // Processes pending window events once and returns.
    virtual void yield() = 0;
    // Waits for window events up to the given time and processes them; used between the tests of a
    // polling wait so that it does not burn a core.
    virtual void wait_events(int milliseconds) = 0;
    // Runs the message loop until the program ends.
    virtual void run() = 0;
};

} // namespace om::platform
