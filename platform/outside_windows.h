#pragma once
// Top-level windows as the window system lists them, this program's and
// other programs' alike. No Qt types here; platform/qt/outside_windows.cpp
// implements it for X11. Where the platform offers no such list (Wayland,
// the offscreen platform) every call answers 0, the empty rectangle or
// false. The list is the window manager's (EWMH), else the root window's
// children; activating waits until the server has acted on it.

#include <cstdint>
#include <string>

namespace brek_platform {

// A window's outer rectangle on the screen, in pixels.
struct Window_rect_px {
  int32_t x = 0;
  int32_t y = 0;
  int32_t w = 0;
  int32_t h = 0;
};

// The first top-level window whose class is class_name (compared without
// regard to case with either name of the window's class pair) and whose
// title is title (exactly); an empty text matches every window. 0 when
// none matches.
int64_t find_window(const std::string& class_name, const std::string& title);

// The window's rectangle with the frame the window manager put around it;
// all 0 when the handle names no window.
Window_rect_px window_rect(int64_t window);

// Brings the window to the front and gives it the keyboard focus (through
// the window manager when there is one). False when the handle names no
// window that is on the screen.
bool set_foreground(int64_t window);

}  // namespace brek_platform
