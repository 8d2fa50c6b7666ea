#pragma once
// The X11 connection Qt holds, for the few requests Qt has no call for.

#include <xcb/xcb.h>

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

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

// A reply of the server, freed as xcb asks.
struct X11_free {
  void operator()(void* p) const { std::free(p); }
};
template <class T>
using X11_reply = std::unique_ptr<T, X11_free>;

// The atom of a name (the server makes it when it has none yet).
xcb_atom_t x11_atom(xcb_connection_t* c, const char* name);
// A property of 32-bit items on the window; empty when it is not set or
// has items of another size.
std::vector<uint32_t> x11_words(xcb_connection_t* c, xcb_window_t w, const char* property);
// The symbols (keysyms) of a key in the keyboard's core map: of its first
// layout (group), its first and second levels, then the second layout's,
// then further levels and layouts; empty without X11.
std::vector<uint32_t> x11_key_symbols(xcb_connection_t* c, uint8_t keycode);
// Whether the window and all its ancestors are mapped.
bool x11_viewable(xcb_connection_t* c, xcb_window_t w);
// Whether the window manager lists the hint among those it supports.
bool x11_supported(xcb_connection_t* c, const char* hint);
// A message of the type about window w to the window manager (sent to the
// root, as EWMH has it), sent at once.
void x11_ask_manager(xcb_connection_t* c, xcb_window_t w, const char* type, const std::vector<uint32_t>& data);

}  // namespace brek_platform::qt
