#pragma once
// The native side of painted controls: a scrolled paint panel, that is a
// panel holding a drawing surface, optional vertical and horizontal scroll
// bars and a corner square. The program paints into a picture of its own
// (the back buffer); the panel only shows that picture, keeps the scroll
// bars, the caret and the cursor, and reports paints and bar moves. No Qt
// types: handles are 64-bit integers (0 names nothing) and geometry is in
// device pixels.
//
// The panel is a control of its form's window layer: its pointer, wheel,
// key, focus and resize input is reported through form_events() with its
// handle, and Native_controls places, sizes, shows and hides it like any
// other control. The scroll bars report nothing but their moves.

#include <cstdint>

#include "platform/native_controls.h"
#include "platform/native_forms.h"
#include "platform/painter.h"

namespace brek_platform {

struct Paint_panel_desc {
  Native_handle form = 0;
  Native_handle column = 0;  // the panel that holds it
  bool vbar = false;         // a vertical scroll bar is wanted
  bool hbar = false;         // a horizontal one
  bool focusable = false;    // the surface takes the focus and is a tab stop
};

// The pointer shapes, in the order the program numbers them.
enum class Panel_cursor : int {
  ARROW, IBEAM, NO, CROSS, HAND, WAIT, APP_START, UP_ARROW,
  SIZE_ALL, SIZE_WE, SIZE_NS, SIZE_NESW, SIZE_NWSE, HELP
};

// How one scroll bar shows a content of `total` pixels through a surface
// of `surface` pixels. Contents beyond the 31-bit range of a bar are
// scaled down by `factor` (bar units times factor are pixels).
struct Scroll_bar_setup {
  double factor = 1.0;
  int64_t range = 0;    // the content in bar units
  int64_t page = 1;     // the visible part in bar units, at least 1
  int64_t maximum = 0;  // the largest position: range - page, at least 0
  bool visible = false; // only while the page is smaller than the range
};
// vertical: page = min(surface, range); horizontal: page = min(surface, total),
// both in bar units.
Scroll_bar_setup scroll_bar_setup(double total, double surface, bool vertical);

// What a paint panel reports.
class Paint_panel_events {
 public:
  virtual ~Paint_panel_events() = default;
  // The surface is to be painted; `update` is the part the platform asks
  // for (pixels of the surface). Returns the picture to show at the
  // surface's top-left corner (empty: none). The picture must stay valid
  // until the call returns to the platform, which copies it at once.
  virtual Raster paint(Native_handle /*panel*/, Pixel_box /*update*/) { return {}; }
  // The user moved a scroll bar.
  virtual void scrolled(Native_handle /*panel*/) {}
};

Paint_panel_events& paint_panel_events();
// Installs the receiver (nullptr: one that ignores everything); returns
// the previous one.
Paint_panel_events* set_paint_panel_events(Paint_panel_events* receiver);

class Native_paint_panels {
 public:
  virtual ~Native_paint_panels() = default;

  // A new panel in its column, 100 x 100 points at first; 0 when the
  // column is not a panel of the window layer.
  virtual Native_handle create(const Paint_panel_desc&) { return 0; }
  // Width (w) and height (h) of the drawing surface.
  virtual Pixel_box surface(Native_handle) { return {}; }
  // Asks for a paint of part of the surface.
  virtual void invalidate(Native_handle, Pixel_box) {}
  // Paints what is pending at once (the surface's paint runs before the
  // call returns, when the surface is on the screen).
  virtual void paint_now(Native_handle) {}
  // The part of the surface being painted; false outside a paint.
  virtual bool update_rect(Native_handle, Pixel_box&) { return false; }
  // Content size in pixels: the scroll bars' ranges.
  virtual void set_ranges(Native_handle, double /*total_width*/, double /*total_height*/) {}
  // A bar's position in pixels (vertical or horizontal); 0 without that bar.
  virtual double scroll_pos(Native_handle, bool /*vertical*/) { return 0; }
  // Moves a bar (ignored while the panel reports a move of its own).
  virtual void set_scroll_pos(Native_handle, bool /*vertical*/, double /*pixels*/) {}
  // The vertical bar's arrow step.
  virtual void set_line_step(Native_handle, int64_t /*pixels*/) {}
  // A batch of changes: the panel lays itself out once the last one ends.
  virtual void begin_update(Native_handle) {}
  virtual void end_update(Native_handle) {}
  virtual void set_cursor(Native_handle, Panel_cursor) {}
  virtual Panel_cursor cursor(Native_handle) { return Panel_cursor::ARROW; }
  // The text caret of the surface: shown at (x, y) with its size when the
  // surface has the focus, otherwise hidden; hide_caret hides it.
  virtual void show_caret(Native_handle, int64_t /*x*/, int64_t /*y*/, int64_t /*height*/, int64_t /*width*/) {}
  virtual void hide_caret(Native_handle) {}
  // Whether the caret is on the surface now, and where (x, y, w, h).
  virtual bool caret(Native_handle, Pixel_box&) { return false; }
};

// The Qt panels while a platform application exists, else a headless
// default whose operations answer 0 or false and do nothing.
Native_paint_panels& native_paint_panels();
// Installs another implementation (nullptr: back to the built-in one);
// returns the previous one.
Native_paint_panels* set_native_paint_panels(Native_paint_panels* layer);

}  // namespace brek_platform
