// The FLTK window draws a carriage return as a line break, as the Windows controls do, and is first
// shown where moving it up keeps it on the screen.
#include "platform/posix/window_fltk.hpp"

#include <gtest/gtest.h>

#include <string>

namespace {

using om::platform::posix::fltk_shown_text;

TEST(FltkShownText, BreaksLinesAtCrLfAndCrLf)
{
    EXPECT_EQ(fltk_shown_text("A full version is available:\r<h/ombrix32_v2.1.6.msi>. "),
              "A full version is available:\n<h/ombrix32_v2.1.6.msi>. ");
    // The feature section: each ">" was put after LF CR; the panel breaks at both, like a rich edit.
    EXPECT_EQ(fltk_shown_text("New Feature Update \n\r> faster \n\r> smaller "),
              "New Feature Update \n\n> faster \n\n> smaller ");
    EXPECT_EQ(fltk_shown_text("\r\r\n"), "\n\n");
}

// Needs an X display: tests/CMakeLists.txt runs these tests under Xvfb.
TEST(FltkWindowPlace, FirstShownCentredSoThatMovingUpKeepsItOnTheScreen)
{
    om::platform::posix::FltkWindow window;
    window.set_height(2805);
    window.show();
    // Xvfb's screen is 768 pixels high; the compact window is 187.
    EXPECT_EQ(window.top(), (768 - 187) / 2 * 15);
    window.set_top(window.top() - 3000);
    EXPECT_GE(window.top(), 0);
}

} // namespace
