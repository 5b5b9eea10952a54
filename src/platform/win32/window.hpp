#pragma once
// The window om_update as a native window: STATIC labels, the check_now button array, a check box, an
// EDIT field with EN_CHANGE, a RichEdit panel, a progress bar, SetTimer timers and MessageBoxA. Laid out
// at the dots per inch of its monitor, and again when it moves to a monitor of another scale.
#include "platform/window.hpp"

#include <map>
#include <string>

#include <windows.h>

namespace om::platform::win32 {

class Win32Window : public Window {
public:
    explicit Win32Window(HINSTANCE instance);
    ~Win32Window() override;
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    void set_handler(WindowEvents* events) override { events_ = events; }
    void set_title(const std::string& title) override;
    std::string title() override;
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
    static LRESULT CALLBACK window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam);
    LRESULT handle(UINT message, WPARAM wparam, LPARAM lparam);
    template <class Handler> void dispatch(Handler&& handler);
    void pump();
    void make_fonts();
    void delete_fonts();
    // The window's outer size around the designed client area at the current dots per inch.
    SIZE frame_size() const;
    // Puts a control at its designed place and size (`info` wider while the web-site field is hidden).
    void place_control(Control control);
    void lay_out_controls();
    void change_dpi(int dpi, const RECT& suggested);

    WindowEvents* events_ = nullptr;
    HWND window_ = nullptr;
    HMODULE rich_edit_library_ = nullptr;
    HFONT bold_font_ = nullptr;
    HFONT normal_font_ = nullptr;
    int dpi_ = 96; // the window's dots per inch; twips become pixels at this scale
    std::map<Control, HWND> controls_;
    double progress_max_ = 100;
    double progress_value_ = 0;
    bool setting_field_ = false;
};

} // namespace om::platform::win32
