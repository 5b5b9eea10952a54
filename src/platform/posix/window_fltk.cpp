#include "platform/posix/window_fltk.hpp"

#include "app/window_layout.hpp"

#include <FL/Enumerations.H>
#include <FL/Fl.H>
#include <FL/Fl_Box.H>
#include <FL/Fl_Button.H>
#include <FL/Fl_Check_Button.H>
#include <FL/Fl_Double_Window.H>
#include <FL/Fl_Input.H>
#include <FL/Fl_Progress.H>
#include <FL/Fl_Text_Buffer.H>
#include <FL/Fl_Text_Display.H>
#include <FL/fl_ask.H>
#include <FL/x.H>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <exception>

namespace om::platform::posix {

namespace {

// 8.25 points is 11 pixels at 96 dots per inch; FLTK's Helvetica runs wider than MS Sans Serif, so a
// size one in eleven smaller keeps "om_website:" inside its designed width.
int font_pixels(int dpi)
{
    return layout::font_pixels(dpi) * 10 / 11;
}
// The window manager's title bar and borders, which the design height includes (30 pixels at 96).
constexpr int frame_twips = 450;

// The screen's dots per inch as the desktop sets it for its programs (the X resource Xft.dpi, which
// scaled desktops set); 96 where it is not set. The connection opened here becomes FLTK's own: one
// that was opened and closed again could be the server's last client and make it reset.
int screen_dpi()
{
    if (fl_display == nullptr) {
        Display* display = XOpenDisplay(nullptr);
        if (display == nullptr)
            return layout::standard_dpi;
        fl_open_display(display);
    }
    int dpi = layout::standard_dpi;
    if (const char* value = XGetDefault(fl_display, "Xft", "dpi")) {
        const double set = std::atof(value);
        if (set >= 48 && set <= 960)
            dpi = static_cast<int>(set + 0.5);
    }
    return dpi;
}

struct WidgetTag {
    FltkWindow* owner;
    Control control;
};

} // namespace

std::string fltk_shown_text(const std::string& text)
{
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\r')
            shown += text[i];
        else if (i + 1 >= text.size() || text[i + 1] != '\n')
            shown += '\n'; // a CR of a CR LF pair is dropped: its LF breaks the line
    }
    return shown;
}

FltkWindow::FltkWindow() : title_("Ombrix Updater"), dpi_(screen_dpi())
{
    window_ = std::make_unique<Fl_Double_Window>(layout::pixels(layout::client_width, dpi_),
                                                 layout::pixels(layout::client_height, dpi_), title_.c_str());
    window_->callback(&FltkWindow::on_close, this);
    const int font_size = font_pixels(dpi_);
    for (const auto& design : layout::controls) {
        const int x = layout::pixels(design.left, dpi_), y = layout::pixels(design.top, dpi_);
        const int w = layout::pixels(design.width, dpi_), h = layout::pixels(design.height, dpi_);
        labels_[design.control] = design.text;
        shown_labels_[design.control] = fltk_shown_text(design.text);
        const char* label = shown_labels_[design.control].c_str();
        Fl_Widget* widget = nullptr;
        switch (design.kind) {
        case layout::Kind::label: {
            auto* box = new Fl_Box(x, y, w, h, label);
            // Clipped to its box, as a Windows static control is: a long caption does not run over its neighbours.
            box->align(FL_ALIGN_INSIDE | FL_ALIGN_LEFT | FL_ALIGN_TOP | FL_ALIGN_WRAP | FL_ALIGN_CLIP);
            widget = box;
            break;
        }
        case layout::Kind::progress_bar:
            progress_ = new Fl_Progress(x, y, w, h);
            progress_->minimum(0);
            progress_->maximum(100);
            progress_->value(0);
            progress_->selection_color(FL_BLUE);
            widget = progress_;
            break;
        case layout::Kind::button:
            widget = new Fl_Button(x, y, w, h, label);
            break;
        case layout::Kind::text_field:
            website_ = new Fl_Input(x, y, w, h);
            website_->when(FL_WHEN_CHANGED);
            widget = website_;
            break;
        case layout::Kind::rich_text: {
            rich_text_ = std::make_unique<Fl_Text_Buffer>();
            rich_text_value_ = design.text;
            rich_text_->text(fltk_shown_text(design.text).c_str());
            auto* display = new Fl_Text_Display(x, y, w, h);
            display->buffer(rich_text_.get());
            display->wrap_mode(Fl_Text_Display::WRAP_AT_BOUNDS, 0);
            display->textfont(design.bold ? FL_HELVETICA_BOLD : FL_HELVETICA);
            display->textsize(font_size);
            widget = display;
            break;
        }
        case layout::Kind::check_box:
            skip_ = new Fl_Check_Button(x, y, w, h, label);
            widget = skip_;
            break;
        }
        widget->labelsize(font_size);
        if (design.bold)
            widget->labelfont(FL_HELVETICA_BOLD);
        if (design.kind == layout::Kind::text_field)
            website_->textsize(font_size);
        if (!design.visible)
            widget->hide();
        widget->user_data(new WidgetTag{this, design.control});
        if (design.kind == layout::Kind::button || design.kind == layout::Kind::text_field ||
            design.kind == layout::Kind::check_box)
            widget->callback(&FltkWindow::on_widget, widget->user_data());
        widgets_[design.control] = widget;
    }
    window_->end();
}

FltkWindow::~FltkWindow()
{
    Fl::remove_timeout(&FltkWindow::on_tick, &count_down_);
    Fl::remove_timeout(&FltkWindow::on_tick, &kill_timer_);
    for (auto& [control, widget] : widgets_)
        delete static_cast<WidgetTag*>(widget->user_data());
}

template <class Handler> void FltkWindow::dispatch(Handler&& handler)
{
    if (events_ == nullptr)
        return;
    try {
        handler(*events_);
    } catch (const std::exception&) {
        // The handlers leave no failure of their own unhandled; a platform failure ends only this event.
    }
}

void FltkWindow::on_widget(Fl_Widget* widget, void* data)
{
    auto* tag = static_cast<WidgetTag*>(data);
    FltkWindow& self = *tag->owner;
    const int index = layout::check_now_index(tag->control);
    if (index >= 0) {
        self.dispatch([&](WindowEvents& events) { events.on_check_now(index); });
    } else if (tag->control == Control::OmWebsite) {
        self.dispatch([&](WindowEvents& events) { events.on_website_change(); });
    } else if (tag->control == Control::Skip) {
        const bool checked = static_cast<Fl_Check_Button*>(widget)->value() != 0;
        self.dispatch([&](WindowEvents& events) { events.on_skip_click(checked); });
    }
}

void FltkWindow::on_close(Fl_Widget*, void* data)
{
    // Escape also reaches the window's callback; only the window manager's close ends the program.
    if (Fl::event() == FL_SHORTCUT && Fl::event_key() == FL_Escape)
        return;
    auto& self = *static_cast<FltkWindow*>(data);
    self.dispatch([](WindowEvents& events) { events.on_unload(); });
}

void FltkWindow::on_tick(void* data)
{
    auto* slot = static_cast<TimerSlot*>(data);
    if (!slot->running)
        return;
    Fl::repeat_timeout(slot->seconds, &FltkWindow::on_tick, data);
    slot->owner->dispatch([&](WindowEvents& events) { events.on_timer(slot->timer); });
}

void FltkWindow::set_title(const std::string& title)
{
    title_ = title;
    window_->label(title_.c_str());
}

void FltkWindow::set_text(Control control, const std::string& text)
{
    if (control == Control::OmWebsite) {
        if (text == website_->value())
            return; // like typing, only a real change counts
        website_->value(text.c_str());
        dispatch([](WindowEvents& events) { events.on_website_change(); });
        return;
    }
    if (control == Control::RichTextBox1) {
        rich_text_value_ = text;
        rich_text_->text(fltk_shown_text(text).c_str());
        return;
    }
    if (control == Control::ProgressBar1)
        return;
    labels_[control] = text;
    shown_labels_[control] = fltk_shown_text(text);
    widgets_[control]->label(shown_labels_[control].c_str());
    widgets_[control]->redraw();
    window_->redraw();
}

std::string FltkWindow::text(Control control)
{
    if (control == Control::OmWebsite)
        return website_->value();
    if (control == Control::RichTextBox1)
        return rich_text_value_;
    return labels_[control];
}

void FltkWindow::set_visible(Control control, bool visible)
{
    if (visible)
        widgets_[control]->show();
    else
        widgets_[control]->hide();
    if (control == Control::OmWebsite) {
        Fl_Widget* info = widgets_[Control::Info];
        info->size(layout::pixels(layout::info_width(visible), dpi_), info->h());
    }
    window_->redraw();
}

bool FltkWindow::visible(Control control)
{
    return widgets_[control]->visible() != 0;
}

void FltkWindow::set_enabled(Control control, bool enabled)
{
    if (enabled)
        widgets_[control]->activate();
    else
        widgets_[control]->deactivate();
}

bool FltkWindow::enabled(Control control)
{
    return widgets_[control]->active() != 0;
}

void FltkWindow::set_height(int twips)
{
    const int client = std::max(1, layout::pixels(twips - frame_twips, dpi_));
    window_->size(window_->w(), client);
}

int FltkWindow::height()
{
    return layout::twips(window_->h(), dpi_) + frame_twips;
}

void FltkWindow::set_top(int twips)
{
    placed_ = true;
    window_->position(window_->x(), layout::pixels(twips, dpi_));
}

int FltkWindow::top()
{
    return layout::twips(window_->y(), dpi_);
}

void FltkWindow::show()
{
    if (!placed_) {
        placed_ = true;
        int x = 0, y = 0, w = 0, h = 0;
        Fl::screen_work_area(x, y, w, h);
        window_->position(x + (w - window_->w()) / 2, layout::first_top(y, h, dpi_));
    }
    window_->show();
    if (!first_show_reported_ && std::getenv("OM_REPORT_SHOWN") != nullptr) {
        // For the start-up benchmark: the wall time at which the window was first mapped.
        first_show_reported_ = true;
        Fl::flush();
        timespec now{};
        clock_gettime(CLOCK_REALTIME, &now);
        std::fprintf(stderr, "om_window_shown_ns %lld\n",
                     static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec);
    }
}

bool FltkWindow::shown()
{
    return window_->shown() != 0;
}

int FltkWindow::put_on_top()
{
    if (!window_->shown() || fl_display == nullptr)
        return 0;
    // Ask the window manager (EWMH) to keep the window above others; without one nothing happens.
    ::Window xid = fl_xid(window_.get());
    XEvent event{};
    event.xclient.type = ClientMessage;
    event.xclient.window = xid;
    event.xclient.message_type = XInternAtom(fl_display, "_NET_WM_STATE", False);
    event.xclient.format = 32;
    event.xclient.data.l[0] = 1; // _NET_WM_STATE_ADD
    event.xclient.data.l[1] = static_cast<long>(XInternAtom(fl_display, "_NET_WM_STATE_ABOVE", False));
    event.xclient.data.l[2] = 0;
    event.xclient.data.l[3] = 1;
    const Status sent = XSendEvent(fl_display, RootWindow(fl_display, fl_screen), False,
                                   SubstructureRedirectMask | SubstructureNotifyMask, &event);
    XFlush(fl_display);
    return sent != 0 ? 1 : 0;
}

bool FltkWindow::set_progress_max(double maximum)
{
    if (!(maximum > progress_->minimum()))
        return false;
    progress_->maximum(static_cast<float>(maximum));
    return true;
}

double FltkWindow::progress_max()
{
    return progress_->maximum();
}

void FltkWindow::set_progress_value(double value)
{
    progress_->value(static_cast<float>(value));
}

double FltkWindow::progress_value()
{
    return progress_->value();
}

void FltkWindow::enable_timer(Timer timer, bool enabled)
{
    TimerSlot& slot = timer == Timer::CountDown ? count_down_ : kill_timer_;
    if (enabled == slot.running)
        return;
    slot.running = enabled;
    if (enabled)
        Fl::add_timeout(slot.seconds, &FltkWindow::on_tick, &slot);
    else
        Fl::remove_timeout(&FltkWindow::on_tick, &slot);
}

void FltkWindow::message_box(const std::string& text)
{
    fl_message_title(title_.c_str());
    fl_message("%s", text.c_str());
}

void FltkWindow::yield()
{
    Fl::check();
}

void FltkWindow::wait_events(int milliseconds)
{
    Fl::wait(milliseconds / 1000.0);
}

void FltkWindow::run()
{
    for (;;)
        Fl::wait(1e20);
}

} // namespace om::platform::posix
