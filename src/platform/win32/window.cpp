#include "platform/win32/window.hpp"

#include "app/window_layout.hpp"

#include <commctrl.h>
#include <richedit.h>

#include <cmath>
#include <exception>
#include <vector>

namespace om::platform::win32 {

namespace {

constexpr const char* class_name = "om_update";
constexpr int first_control_id = 100;
constexpr UINT_PTR count_down_id = 1;
constexpr UINT_PTR kill_timer_id = 2;

int control_id(Control control)
{
    return first_control_id + static_cast<int>(control);
}

} // namespace

Win32Window::Win32Window(HINSTANCE instance)
{
    INITCOMMONCONTROLSEX common{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
    ::InitCommonControlsEx(&common);
    rich_edit_library_ = ::LoadLibraryA("msftedit.dll");

    WNDCLASSEXA window_class{};
    window_class.cbSize = sizeof window_class;
    window_class.lpfnWndProc = &Win32Window::window_procedure;
    window_class.hInstance = instance;
    window_class.hCursor = ::LoadCursor(nullptr, IDC_ARROW);
    window_class.hIcon = ::LoadIcon(nullptr, IDI_APPLICATION);
    window_class.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    window_class.lpszClassName = class_name;
    ::RegisterClassExA(&window_class);

    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
    RECT frame{0, 0, layout::pixels(layout::client_width), layout::pixels(layout::client_height)};
    ::AdjustWindowRectEx(&frame, style, FALSE, 0);
    const int frame_width = frame.right - frame.left;
    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    window_ = ::CreateWindowExA(0, class_name, "Ombrix Updater", style,
                                area.left + (area.right - area.left - frame_width) / 2,
                                layout::first_top(area.top, area.bottom - area.top), frame_width,
                                frame.bottom - frame.top, nullptr, nullptr, instance, this);

    // "MS Sans Serif" 8.25 pt bold for the bold controls; the others use the dialog font.
    const int font_height = -static_cast<int>(std::lround(layout::font_points * 96.0 / 72.0));
    bold_font_ = ::CreateFontA(font_height, 0, 0, 0, FW_BOLD, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                               CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
    HFONT normal_font = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));

    for (const auto& design : layout::controls) {
        const char* kind = "STATIC";
        DWORD control_style = WS_CHILD;
        DWORD extended = 0;
        switch (design.kind) {
        case layout::Kind::label:
            control_style |= SS_LEFT;
            break;
        case layout::Kind::progress_bar:
            kind = PROGRESS_CLASSA;
            break;
        case layout::Kind::button:
            kind = "BUTTON";
            control_style |= BS_PUSHBUTTON | WS_TABSTOP;
            break;
        case layout::Kind::text_field:
            kind = "EDIT";
            control_style |= ES_AUTOHSCROLL | WS_TABSTOP;
            extended = WS_EX_CLIENTEDGE;
            break;
        case layout::Kind::rich_text:
            kind = rich_edit_library_ ? "RICHEDIT50W" : "EDIT";
            control_style |= ES_MULTILINE | ES_READONLY | WS_VSCROLL | ES_AUTOVSCROLL | WS_TABSTOP;
            extended = WS_EX_CLIENTEDGE;
            break;
        case layout::Kind::check_box:
            kind = "BUTTON";
            control_style |= BS_AUTOCHECKBOX | WS_TABSTOP;
            break;
        }
        if (design.visible)
            control_style |= WS_VISIBLE;
        HWND control = ::CreateWindowExA(
            extended, kind, design.text, control_style, layout::pixels(design.left), layout::pixels(design.top),
            layout::pixels(design.width), layout::pixels(design.height), window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id(design.control))), instance, nullptr);
        ::SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(design.bold ? bold_font_ : normal_font), FALSE);
        if (design.kind == layout::Kind::progress_bar)
            ::SendMessageA(control, PBM_SETRANGE32, 0, 100);
        if (design.kind == layout::Kind::text_field)
            ::SendMessageA(control, EM_SETEVENTMASK, 0, ENM_CHANGE);
        controls_[design.control] = control;
    }
}

Win32Window::~Win32Window()
{
    if (window_)
        ::DestroyWindow(window_);
    if (bold_font_)
        ::DeleteObject(bold_font_);
    if (rich_edit_library_)
        ::FreeLibrary(rich_edit_library_);
}

template <class Handler> void Win32Window::dispatch(Handler&& handler)
{
    if (events_ == nullptr)
        return;
    try {
        handler(*events_);
    } catch (const std::exception&) {
        // A platform failure inside a handler ends only that event; the window goes on.
    }
}

LRESULT CALLBACK Win32Window::window_procedure(HWND window, UINT message, WPARAM wparam, LPARAM lparam)
{
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lparam);
        ::SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32Window*>(::GetWindowLongPtrA(window, GWLP_USERDATA));
    if (self == nullptr || self->window_ != window)
        return ::DefWindowProcA(window, message, wparam, lparam);
    return self->handle(message, wparam, lparam);
}

LRESULT Win32Window::handle(UINT message, WPARAM wparam, LPARAM lparam)
{
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wparam);
        const int code = HIWORD(wparam);
        const auto control = static_cast<Control>(id - first_control_id);
        const int index = layout::check_now_index(control);
        if (index >= 0 && code == BN_CLICKED) {
            dispatch([&](WindowEvents& events) { events.on_check_now(index); });
        } else if (control == Control::Skip && code == BN_CLICKED) {
            const bool checked = ::SendMessageA(controls_[Control::Skip], BM_GETCHECK, 0, 0) == BST_CHECKED;
            dispatch([&](WindowEvents& events) { events.on_skip_click(checked); });
        } else if (control == Control::OmWebsite && code == EN_CHANGE && !setting_field_) {
            dispatch([](WindowEvents& events) { events.on_website_change(); });
        }
        return 0;
    }
    case WM_TIMER:
        if (wparam == count_down_id)
            dispatch([](WindowEvents& events) { events.on_timer(Timer::CountDown); });
        else if (wparam == kill_timer_id)
            dispatch([](WindowEvents& events) { events.on_timer(Timer::KillTimer); });
        return 0;
    case WM_CLOSE:
        dispatch([](WindowEvents& events) { events.on_unload(); });
        return 0;
    default:
        return ::DefWindowProcA(window_, message, wparam, lparam);
    }
}

void Win32Window::set_title(const std::string& title)
{
    ::SetWindowTextA(window_, title.c_str());
}

std::string Win32Window::title()
{
    std::vector<char> buffer(static_cast<std::size_t>(::GetWindowTextLengthA(window_)) + 1);
    const int length = ::GetWindowTextA(window_, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), static_cast<std::size_t>(std::max(length, 0)));
}

void Win32Window::set_text(Control control, const std::string& text)
{
    if (control == Control::ProgressBar1)
        return;
    if (control == Control::OmWebsite) {
        if (this->text(control) == text)
            return; // only a real change counts, as when typing
        // The change notification of the assignment is raised here once, not by the control.
        setting_field_ = true;
        ::SetWindowTextA(controls_[control], text.c_str());
        setting_field_ = false;
        dispatch([](WindowEvents& events) { events.on_website_change(); });
        return;
    }
    ::SetWindowTextA(controls_[control], text.c_str());
}

std::string Win32Window::text(Control control)
{
    HWND handle = controls_[control];
    std::vector<char> buffer(static_cast<std::size_t>(::GetWindowTextLengthA(handle)) + 1);
    const int length = ::GetWindowTextA(handle, buffer.data(), static_cast<int>(buffer.size()));
    return std::string(buffer.data(), static_cast<std::size_t>(std::max(length, 0)));
}

void Win32Window::set_visible(Control control, bool visible)
{
    ::ShowWindow(controls_[control], visible ? SW_SHOW : SW_HIDE);
}

bool Win32Window::visible(Control control)
{
    return (::GetWindowLongA(controls_[control], GWL_STYLE) & WS_VISIBLE) != 0;
}

void Win32Window::set_enabled(Control control, bool enabled)
{
    ::EnableWindow(controls_[control], enabled ? TRUE : FALSE);
}

bool Win32Window::enabled(Control control)
{
    return ::IsWindowEnabled(controls_[control]) != FALSE;
}

void Win32Window::set_height(int twips)
{
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, layout::pixels(twips),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Window::height()
{
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    return (frame.bottom - frame.top) * layout::twips_per_pixel;
}

void Win32Window::set_top(int twips)
{
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    ::SetWindowPos(window_, nullptr, frame.left, layout::pixels(twips), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int Win32Window::top()
{
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    return frame.top * layout::twips_per_pixel;
}

void Win32Window::show()
{
    ::ShowWindow(window_, SW_SHOW);
    ::UpdateWindow(window_);
}

bool Win32Window::shown()
{
    return ::IsWindowVisible(window_) != FALSE;
}

int Win32Window::put_on_top()
{
    return ::SetWindowPos(window_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

bool Win32Window::set_progress_max(double maximum)
{
    if (!(maximum > 0) || maximum > 2147483647.0)
        return false;
    progress_max_ = maximum;
    ::SendMessageA(controls_[Control::ProgressBar1], PBM_SETRANGE32, 0, static_cast<LPARAM>(maximum));
    return true;
}

double Win32Window::progress_max()
{
    return progress_max_;
}

void Win32Window::set_progress_value(double value)
{
    progress_value_ = value;
    ::SendMessageA(controls_[Control::ProgressBar1], PBM_SETPOS, static_cast<WPARAM>(value), 0);
}

double Win32Window::progress_value()
{
    return progress_value_;
}

void Win32Window::enable_timer(Timer timer, bool enabled)
{
    const UINT_PTR id = timer == Timer::CountDown ? count_down_id : kill_timer_id;
    if (enabled)
        ::SetTimer(window_, id, timer == Timer::CountDown ? layout::count_down_ms : layout::kill_timer_ms, nullptr);
    else
        ::KillTimer(window_, id);
}

void Win32Window::message_box(const std::string& text)
{
    const std::string caption = title();
    ::MessageBoxA(window_, text.c_str(), caption.c_str(), MB_OK);
}

void Win32Window::pump()
{
    MSG message{};
    while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT)
            continue;
        if (!::IsDialogMessageA(window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

void Win32Window::yield()
{
    pump();
}

void Win32Window::wait_events(int milliseconds)
{
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(std::max(milliseconds, 0)), QS_ALLINPUT);
    pump();
}

void Win32Window::run()
{
    MSG message{};
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        if (!::IsDialogMessageA(window_, &message)) {
            ::TranslateMessage(&message);
            ::DispatchMessageA(&message);
        }
    }
}

} // namespace om::platform::win32
