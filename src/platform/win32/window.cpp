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

constexpr DWORD window_style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX;
constexpr UINT message_dpi_changed = 0x02E0; // WM_DPICHANGED

int control_id(Control control)
{
    return first_control_id + static_cast<int>(control);
}

// The calls of newer systems are looked up at run time, so that the program still starts where they
// are missing.
template <class Function> Function system_function(const char* library, const char* name)
{
    HMODULE module = ::GetModuleHandleA(library);
    if (module == nullptr)
        module = ::LoadLibraryA(library);
    return module == nullptr ? nullptr
                             : reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

// Per-monitor awareness, the newest form the system accepts: the window then lays itself out at each
// monitor's scale instead of being stretched by the system. Wine refuses the v2 context (error 87).
void declare_dpi_awareness()
{
    using SetContext = BOOL(WINAPI*)(HANDLE);
    if (auto set_context = system_function<SetContext>("user32.dll", "SetProcessDpiAwarenessContext")) {
        if (set_context(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4))) != FALSE) // PER_MONITOR_AWARE_V2
            return;
        if (set_context(reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3))) != FALSE) // PER_MONITOR_AWARE
            return;
    }
    using SetAwareness = HRESULT(WINAPI*)(int);
    if (auto set_awareness = system_function<SetAwareness>("shcore.dll", "SetProcessDpiAwareness")) {
        const HRESULT result = set_awareness(2);           // PROCESS_PER_MONITOR_DPI_AWARE
        if (SUCCEEDED(result) || result == E_ACCESSDENIED) // E_ACCESSDENIED: already set by the manifest
            return;
    }
    ::SetProcessDPIAware();
}

// The window's dots per inch; the screen's where the per-window query is missing.
int window_dpi(HWND window)
{
    using GetDpi = UINT(WINAPI*)(HWND);
    if (auto get_dpi = system_function<GetDpi>("user32.dll", "GetDpiForWindow")) {
        if (const UINT dpi = get_dpi(window); dpi > 0)
            return static_cast<int>(dpi);
    }
    HDC screen = ::GetDC(nullptr);
    const int dpi = screen ? ::GetDeviceCaps(screen, LOGPIXELSY) : layout::standard_dpi;
    if (screen)
        ::ReleaseDC(nullptr, screen);
    return dpi > 0 ? dpi : layout::standard_dpi;
}

} // namespace

Win32Window::Win32Window(HINSTANCE instance)
{
    declare_dpi_awareness();
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

    // Made first and then sized at the dots per inch of the monitor it landed on.
    window_ = ::CreateWindowExA(0, class_name, "Ombrix Updater", window_style, CW_USEDEFAULT, CW_USEDEFAULT,
                                CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance, this);
    dpi_ = window_dpi(window_);
    make_fonts();

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
        HWND control = ::CreateWindowExA(extended, kind, design.text, control_style, 0, 0, 0, 0, window_,
                                         reinterpret_cast<HMENU>(static_cast<INT_PTR>(control_id(design.control))),
                                         instance, nullptr);
        if (design.kind == layout::Kind::progress_bar)
            ::SendMessageA(control, PBM_SETRANGE32, 0, 100);
        if (design.kind == layout::Kind::text_field)
            ::SendMessageA(control, EM_SETEVENTMASK, 0, ENM_CHANGE);
        controls_[design.control] = control;
    }
    lay_out_controls();

    RECT area{0, 0, ::GetSystemMetrics(SM_CXSCREEN), ::GetSystemMetrics(SM_CYSCREEN)};
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
    const SIZE frame = frame_size();
    ::SetWindowPos(window_, nullptr, area.left + (area.right - area.left - frame.cx) / 2,
                   layout::first_top(area.top, area.bottom - area.top, dpi_), frame.cx, frame.cy,
                   SWP_NOZORDER | SWP_NOACTIVATE);
}

Win32Window::~Win32Window()
{
    if (window_)
        ::DestroyWindow(window_);
    delete_fonts();
    if (rich_edit_library_)
        ::FreeLibrary(rich_edit_library_);
}

void Win32Window::make_fonts()
{
    // "MS Sans Serif" 8.25 pt at the window's dots per inch: bold for the bold controls, regular for the
    // others, so that every caption grows with the window.
    const auto make = [](int pixels, int weight) {
        return ::CreateFontA(-pixels, 0, 0, 0, weight, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
    };
    const int design_pixels = layout::font_pixels(dpi_);
    normal_font_ = make(design_pixels, FW_NORMAL);
    // Where a wider face stands in for "MS Sans Serif" (Wine), the bold size comes down a little until
    // "om_website:" fits the width designed for it again.
    const std::string widest = "om_website:";
    HDC screen = ::GetDC(window_);
    for (int pixels = design_pixels;; --pixels) {
        bold_font_ = make(pixels, FW_BOLD);
        SIZE size{};
        HGDIOBJ previous = ::SelectObject(screen, bold_font_);
        ::GetTextExtentPoint32A(screen, widest.c_str(), static_cast<int>(widest.size()), &size);
        ::SelectObject(screen, previous);
        if (size.cx <= layout::pixels(layout::info_design_width, dpi_) || pixels * 4 <= design_pixels * 3)
            break;
        ::DeleteObject(bold_font_);
    }
    ::ReleaseDC(window_, screen);
}

void Win32Window::delete_fonts()
{
    for (HFONT* font : {&bold_font_, &normal_font_}) {
        if (*font)
            ::DeleteObject(*font);
        *font = nullptr;
    }
}

SIZE Win32Window::frame_size() const
{
    RECT frame{0, 0, layout::pixels(layout::client_width, dpi_), layout::pixels(layout::client_height, dpi_)};
    using AdjustForDpi = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
    auto adjust = system_function<AdjustForDpi>("user32.dll", "AdjustWindowRectExForDpi");
    if (adjust == nullptr || adjust(&frame, window_style, FALSE, 0, static_cast<UINT>(dpi_)) == FALSE)
        ::AdjustWindowRectEx(&frame, window_style, FALSE, 0);
    return SIZE{frame.right - frame.left, frame.bottom - frame.top};
}

void Win32Window::place_control(Control control)
{
    for (const auto& design : layout::controls) {
        if (design.control != control)
            continue;
        const int width = control == Control::Info ? layout::info_width(visible(Control::OmWebsite)) : design.width;
        ::SetWindowPos(controls_[control], nullptr, layout::pixels(design.left, dpi_), layout::pixels(design.top, dpi_),
                       layout::pixels(width, dpi_), layout::pixels(design.height, dpi_), SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Win32Window::lay_out_controls()
{
    for (const auto& design : layout::controls) {
        place_control(design.control);
        ::SendMessageA(controls_[design.control], WM_SETFONT,
                       reinterpret_cast<WPARAM>(design.bold ? bold_font_ : normal_font_), TRUE);
    }
    ::InvalidateRect(window_, nullptr, TRUE);
}

void Win32Window::change_dpi(int dpi, const RECT& suggested)
{
    const int height_twips = height();
    dpi_ = dpi;
    delete_fonts();
    make_fonts();
    lay_out_controls();
    ::SetWindowPos(window_, nullptr, suggested.left, suggested.top, frame_size().cx, layout::pixels(height_twips, dpi_),
                   SWP_NOZORDER | SWP_NOACTIVATE);
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
    case message_dpi_changed:
        // Moved to a monitor of another scale: the same twips at the new dots per inch.
        change_dpi(HIWORD(wparam), *reinterpret_cast<const RECT*>(lparam));
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
    if (control == Control::OmWebsite) {
        place_control(Control::Info);
        ::InvalidateRect(window_, nullptr, TRUE);
    }
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
    ::SetWindowPos(window_, nullptr, 0, 0, frame.right - frame.left, layout::pixels(twips, dpi_),
                   SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

int Win32Window::height()
{
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    return layout::twips(frame.bottom - frame.top, dpi_);
}

void Win32Window::set_top(int twips)
{
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    ::SetWindowPos(window_, nullptr, frame.left, layout::pixels(twips, dpi_), 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

int Win32Window::top()
{
    RECT frame{};
    ::GetWindowRect(window_, &frame);
    return layout::twips(frame.top, dpi_);
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
