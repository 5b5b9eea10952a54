#pragma once
// The window om_update as designed: sizes, positions, captions, visibility and tab order of its
// controls, in twips (1440 to the inch: 15 to a pixel at 96 dots per inch). Both platform windows build
// their controls from this table and turn its lengths into pixels at the screen's dots per inch.
#include "platform/window.hpp"

#include <array>

namespace om::layout {

inline constexpr int twips_per_pixel = 15;
inline constexpr int client_width = 5730;
inline constexpr int client_height = 5865;
// Window heights at run time: everything down to the progress bar, and tall enough for the rich
// text panel.
inline constexpr int compact_height = 2805;
inline constexpr int tall_height = 4680;
// The installation and the connection error move the window up by this much.
inline constexpr int move_up = 3000;
inline constexpr int count_down_ms = 200;
inline constexpr int kill_timer_ms = 1700;
// "MS Sans Serif", 8.25 points.
inline constexpr double font_points = 8.25;

enum class Kind { label, progress_bar, button, text_field, rich_text, check_box };

struct ControlDesign {
    platform::Control control;
    Kind kind;
    const char* text;
    int left, top, width, height;
    bool visible;
    bool bold;
};

// In tab order.
inline constexpr std::array<ControlDesign, 10> controls{{
    {platform::Control::Label1, Kind::label, "Checking for update!", 210, 90, 4365, 1005, true, true},
    {platform::Control::ProgressBar1, Kind::progress_bar, "", 90, 1935, 5535, 240, true, false},
    {platform::Control::CheckNow0, Kind::button, "Check", 4710, 60, 960, 330, false, false},
    {platform::Control::Info, Kind::label, "om_website:", 120, 1560, 975, 195, true, true},
    {platform::Control::OmWebsite, Kind::text_field, "", 1170, 1530, 4440, 285, true, false},
    {platform::Control::CheckNow1, Kind::button, "Install", 4710, 750, 960, 330, false, false},
    {platform::Control::CheckNow2, Kind::button, "Cancel", 4710, 405, 960, 330, false, false},
    {platform::Control::RichTextBox1, Kind::rich_text, "RichTextBox1", 60, 2340, 5580, 1740, true, true},
    {platform::Control::Skip, Kind::check_box, "MSI file is in om_msi directory. Skip download to use this file?", 90,
     1260, 5490, 210, false, true},
    {platform::Control::Label, Kind::label, "Exiting ", 645, 915, 2880, 255, false, true},
}};

inline constexpr int twips_per_inch = 1440;
inline constexpr int standard_dpi = 96;

// A length in twips as pixels at `dpi` dots per inch, rounded to the nearest pixel.
constexpr int pixels(int twips, int dpi = standard_dpi)
{
    const long long scaled = static_cast<long long>(twips) * dpi;
    return static_cast<int>(scaled >= 0 ? (scaled + twips_per_inch / 2) / twips_per_inch
                                        : -((-scaled + twips_per_inch / 2) / twips_per_inch));
}

// A length in pixels at `dpi` as twips.
constexpr int twips(int pixels, int dpi = standard_dpi)
{
    return static_cast<int>(static_cast<long long>(pixels) * twips_per_inch / (dpi > 0 ? dpi : standard_dpi));
}

// The font's height in pixels at `dpi` (8.25 points: 11 pixels at 96, 22 at 192).
constexpr int font_pixels(int dpi)
{
    return static_cast<int>((font_points * dpi + 36) / 72);
}

// `info` is made for "om_website:". When the web-site field beside it is hidden (every prompt hides it),
// the label takes the free width up to the progress bar's right edge, so that a question such as
// "Install both automatically?" or a download's status shows whole.
inline constexpr int info_left = 120;
inline constexpr int info_design_width = 975;
inline constexpr int info_wide_width = 90 + 5535 - info_left;
constexpr int info_width(bool website_visible)
{
    return website_visible ? info_design_width : info_wide_width;
}

// The top edge, in pixels, at which the window first appears in a work area: centred at its compact
// height, so that it stays on the screen when it is moved up (3000 twips), as the installation and
// the connection error do.
constexpr int first_top(int area_top, int area_height, int dpi = standard_dpi)
{
    return area_top + (area_height - pixels(compact_height, dpi)) / 2;
}

// The check_now index of a button control, -1 for any other control.
constexpr int check_now_index(platform::Control control)
{
    switch (control) {
    case platform::Control::CheckNow0:
        return 0;
    case platform::Control::CheckNow1:
        return 1;
    case platform::Control::CheckNow2:
        return 2;
    default:
        return -1;
    }
}

} // namespace om::layout
