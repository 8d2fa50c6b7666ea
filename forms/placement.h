#pragma once
// Monitors, work areas and the placement of forms. The monitor list is the
// platform's (platform/screens.h), kept once per process and converted to
// points; the rules that choose a monitor, keep a window on it, fit a size
// and read a what-string are plain functions over rectangles, so they are
// tested without a display. C_Form's set_position, set_size,
// set_client_size (with a mode), save_placement and load_placement are
// built on them in forms/placement.cpp.
//
// Placements store the window's own and client rectangles (Window_rects),
// never while it is minimized or maximized; a stored size and place are
// fitted together to the monitor the window lands on (fit_to_landing), not
// the one it was on. FIT_TO_DISPLAY keeps a window wholly on a work area,
// cut to it; moves made to fit mark nothing placed.

#include <cstdint>
#include <string>
#include <vector>

#include "baselib/geometry.h"

namespace brek::Placement {

// ---- the monitor list (one per process) ----

// Reads the monitors from the platform again.
void refresh_monitors();
int64_t monitor_count();
// Full rectangle of a monitor in points; the zero rectangle out of range.
rect monitor_rect(int64_t index);
// Work area of a monitor in points (see work_area_for); the zero rectangle
// out of range.
rect monitor_work_area(int64_t index);
// Every monitor rectangle, in the list's order.
std::vector<rect> monitor_rects();
// Every monitor's work area, in the list's order.
std::vector<rect> monitor_work_areas();

// ---- outside windows (through the platform) ----

// The handle of the first top-level window of the class (compared without
// regard to case) and title; an empty text matches any; 0 for none.
int64_t find_window(const std::string& class_name, const std::string& title);
// The window's rectangle on the screen in points; the zero rectangle when
// the handle names no window.
rect get_window_rect(int64_t window);
// Brings the window to the front; false when it names no shown window.
bool set_foreground(int64_t window);
// The taskbar: the window of class "Shell_traywnd", else that of class
// "Shell_SecondaryTrayWnd"; the zero rectangle when neither exists.
rect taskbar_rect();

// ---- rules ----

// A monitor less a taskbar: a bar nearly as wide as the monitor (within 6
// points) at its bottom or top edge, else one nearly as tall at its right
// or left edge, shortens the monitor by the bar; the first case that
// applies wins. A bar that does not meet the monitor is no bar.
rect taskbar_work_area(const rect& monitor, const rect& taskbar);
// The work area of a monitor: the taskbar rule where the lower-case
// platform description names "windows"; everywhere else the work area the
// platform reports (the monitor itself when that is empty).
rect work_area_for(const rect& monitor, const rect& platform_work, const rect& taskbar,
                   const std::string& platform_lower);

// The monitor that shares the largest area with the window; a later one
// wins a tie, and one that only touches it counts, with area 0. With no
// monitor meeting the window (or no monitor at all), 0.
int64_t best_monitor(const std::vector<rect>& monitors, const rect& window);
// Top-left corner of a width x height window centred in a work area.
point center_in(const rect& work, double width, double height);
// Top-left corner that keeps the window inside the work area, its left and
// top edges winning when it is larger than the area.
point keep_in(const rect& work, double left, double top, double width, double height);
// The box around every monitor, the first one shrunk by 1 point on each
// side; false when there is no monitor.
bool desktop_box(const std::vector<rect>& monitors, rect& box);
// The box around every rectangle; false when there is none.
bool bounding_box(const std::vector<rect>& rects, rect& box);
// Where a window goes, and how large it is, to lie wholly on one monitor's
// work area: the first monitor holding its point (left + 1, top + 1), else
// the one sharing most with it, else the first. A window larger than that
// work area is cut to it; one passing an edge moves back inside. A work
// area that is empty counts as its whole monitor. Without a monitor the
// window stays as it is.
rect fit_to_display(const std::vector<rect>& monitors, const std::vector<rect>& work_areas, const rect& window);
// The same for the monitor the window lands on when placed as it stands
// (the one sharing most with it, as positioning chooses), so that a size
// is cut to that monitor, not to another the window was on before.
rect fit_to_landing(const std::vector<rect>& monitors, const std::vector<rect>& work_areas, const rect& window);
// Whether some monitor shows a part of the window (an overlap of positive
// area).
bool shown_on_any(const std::vector<rect>& monitors, const rect& window);
// Whether the monitors show all of the window (one or several together).
bool wholly_on(const std::vector<rect>& monitors, const rect& window);

// ---- the rectangles of a window ----

// A window has three rectangles, all in points:
// - outer: the window with the frame (title bar, borders) a window manager
//   puts around it. get_bounds, set_bounds, set_size and the rules that
//   keep a window on a monitor work on it.
// - own: the window itself, the same under any manager or none. Stored as
//   "Left", "Top", "Width" and "Height".
// - client: the own rectangle less the form's border. Its size is stored
//   as "CWidth" and "CHeight".
// The frame is read once and serves both ways: a rectangle read as one
// kind and given back as another comes back as it was.
struct Window_rects {
  rect outer;
  rect own;
  double client_w = 0, client_h = 0;

  // What the manager adds on each side (0 where it adds nothing).
  double frame_left() const;
  double frame_top() const;
  double frame_w() const;
  double frame_h() const;
  // What lies around the client area (frame and border) across and down.
  double around_client_w() const;
  double around_client_h() const;
  // The outer rectangle of an own one, and back.
  rect outer_of(const rect& own_rect) const;
  rect own_of(const rect& outer_rect) const;
};

// A placement as stored: the window's own size and place ("Width",
// "Height", "Left", "Top") and its client size ("CWidth", "CHeight"), each
// with whether it was there; a client size counts only with both of the
// window's (cwidth 0: missing).
struct Stored_window {
  bool has_w = false, has_h = false, has_l = false, has_t = false, client = false;
  double width = 0, height = 0, cwidth = 0, cheight = 0, left = 0, top = 0;
};

// The letters of a what-string: "" or one holding "*" gives "WHLT".
std::string what_letters(const std::string& what);
// Whether the letters ask for one (case-sensitive).
bool wants(const std::string& letters, char letter);

}  // namespace brek::Placement
