#pragma once
// An X server of the test process's own with a window manager on it, as a
// user's desktop has one: Xvfb with one 1920 x 1080 monitor, or the
// monitors the group names, and the manager the group names (openbox,
// icewm or fluxbox), which frames, places, maximizes and restores windows
// on its own time, each in its own way. The test main starts it before the
// application object exists (DISPLAY then names it) when the group asks
// for it, and ends both at exit; they also end with the test process if it
// dies. icewm and fluxbox run with a home folder of the desktop's own,
// holding a configuration that leaves their own panels off (a test opens
// the panels it wants), so that no user's or machine's settings count.

#include <string>
#include <vector>

namespace brek_test {

constexpr int OWN_DESKTOP_WIDTH = 1920;
constexpr int OWN_DESKTOP_HEIGHT = 1080;

// A monitor of the desktop, in the server's pixels.
struct Own_monitor {
  int x = 0, y = 0, w = 0, h = 0;
};

// Starts the server and the window manager and waits until the manager
// has taken the screen. monitors: "WxH+X+Y" items separated by ","; the
// screen is the box around them, and each is a monitor of its own to the
// program and the manager alike. Empty: one monitor of OWN_DESKTOP_WIDTH x
// OWN_DESKTOP_HEIGHT. manager: "openbox", "icewm" or "fluxbox". On failure
// DISPLAY is unset (the application falls back to the offscreen platform)
// and own_desktop_failure() says why.
bool start_own_desktop(const std::string& monitors = "", const std::string& manager = "openbox");
void stop_own_desktop();
// Whether the text names a manager start_own_desktop knows.
bool own_desktop_manager_known(const std::string& manager);
// Sets the keyboard's layouts on the desktop's server, as a user does in
// the desktop's settings (setxkbmap; layouts "us", "ru", "us,ru", "fr"),
// with the options given ("grp:caps_toggle": Caps Lock switches to the
// next layout) in place of any earlier ones. The first layout is the
// active one. false when it did not take.
bool set_keyboard_layout(const std::string& layouts, const std::string& options = "");
// The monitors of the running desktop, in the order given.
const std::vector<Own_monitor>& own_desktop_monitors();
// Takes a monitor (its index in the order given, not the first) off the
// desktop, as unplugging it does; restore_own_monitors puts every monitor
// back as given. false when the server refused.
bool remove_own_monitor(size_t index);
bool restore_own_monitors();
// Makes the screen (the root window) w x h pixels, at most as large as it
// started, with the monitors given ("WxH+X+Y,..." within it; one that
// changes comes as another monitor plugged in its place), as a desktop
// does when monitors come, go or change: the root window changes its size
// after the program connected. Xvfb keeps its output at the size it
// started with, so the output is switched off first and the monitors are
// declared without it. false when the server refused.
bool resize_own_screen(int w, int h, const std::string& monitors);
// Ends the window manager and starts the same one again, as a user who
// restarts it: what the program learnt of the one before counts no more.
// The tests' own "late" manager takes the option given ("--frame-at-map").
// false when it did not take the screen again.
bool restart_own_window_manager(const std::string& option = "");
// Stops the window manager, as one that hangs answers nothing, or lets it
// go on with what came meanwhile. false when there is none.
bool pause_own_window_manager(bool paused);
// Empty while the desktop runs; why it does not, for a test's skip.
const std::string& own_desktop_failure();

}  // namespace brek_test
