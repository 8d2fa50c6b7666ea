#pragma once
// The X11 connection Qt holds, for the few requests Qt has no call for.

#include <xcb/xcb.h>

namespace brek_platform::qt {

// Qt's xcb connection; nullptr when the program does not run on X11
// (Wayland, the offscreen platform) or before the application exists.
xcb_connection_t* x11_connection();
// The root window of the default screen (0 without X11).
xcb_window_t x11_root();
// Sends what is queued on the connection (Qt does it only when its own
// event loop goes to sleep, which the program's loop never does).
void x11_flush();
// A round trip: the server has acted on every request sent so far when it
// returns.
void x11_sync();

}  // namespace brek_platform::qt
