// Monitors and work areas, and the placement of forms on them.

#include "forms/placement.h"
#include "forms/settings_writes.h"

#include <algorithm>
#include <cmath>

#include "baselib/config.h"
#include "baselib/string_functions.h"
#include "baselib/system_functions.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "platform/outside_windows.h"
#include "platform/screens.h"

namespace brek {

namespace Placement {

namespace {

// The platform's list in pixels, as it was at the last refresh.
std::vector<brek_platform::Monitor_px>& monitor_list() {
  static auto* list = new std::vector<brek_platform::Monitor_px>();
  return *list;
}

rect to_points(int32_t x, int32_t y, int32_t w, int32_t h) {
  return rect{C_Brek_form::pixels_to_points(x), C_Brek_form::pixels_to_points(y), C_Brek_form::pixels_to_points(w),
              C_Brek_form::pixels_to_points(h)};
}

bool in_list(int64_t index) { return index >= 0 && index < static_cast<int64_t>(monitor_list().size()); }

double right_of(const rect& r) { return r.x + r.w; }
double bottom_of(const rect& r) { return r.y + r.h; }

// Area of the part two rectangles share (0 when they only touch).
double overlap_area(const rect& a, const rect& b) {
  double w = std::min(right_of(a), right_of(b)) - std::max(a.x, b.x);
  double h = std::min(bottom_of(a), bottom_of(b)) - std::max(a.y, b.y);
  return w > 0 && h > 0 ? w * h : 0.0;
}

}  // namespace

void refresh_monitors() { monitor_list() = brek_platform::monitors(); }

int64_t monitor_count() { return static_cast<int64_t>(monitor_list().size()); }

rect monitor_rect(int64_t index) {
  if (!in_list(index)) return rect{};
  const brek_platform::Monitor_px& m = monitor_list()[static_cast<size_t>(index)];
  return to_points(m.x, m.y, m.w, m.h);
}

rect monitor_work_area(int64_t index) {
  if (!in_list(index)) return rect{};
  const brek_platform::Monitor_px& m = monitor_list()[static_cast<size_t>(index)];
  // The taskbar is looked up only where its rule applies; elsewhere the
  // platform's own work area already leaves panels and docks out.
  const std::string platform = System_functions::platform_lower();
  const rect taskbar = platform.find("windows") != std::string::npos ? taskbar_rect() : rect{};
  return work_area_for(to_points(m.x, m.y, m.w, m.h), to_points(m.work_x, m.work_y, m.work_w, m.work_h), taskbar,
                       platform);
}

int64_t find_window(const std::string& class_name, const std::string& title) {
  return brek_platform::find_window(class_name, title);
}

rect get_window_rect(int64_t window) {
  const brek_platform::Window_rect_px r = brek_platform::window_rect(window);
  return to_points(r.x, r.y, r.w, r.h);
}

bool set_foreground(int64_t window) { return brek_platform::set_foreground(window); }

rect taskbar_rect() {
  int64_t bar = find_window("Shell_traywnd", "");
  if (bar == 0) bar = find_window("Shell_SecondaryTrayWnd", "");
  return bar == 0 ? rect{} : get_window_rect(bar);
}

std::vector<rect> monitor_rects() {
  std::vector<rect> list;
  for (int64_t i = 0; i < monitor_count(); ++i) list.push_back(monitor_rect(i));
  return list;
}

std::vector<rect> monitor_work_areas() {
  std::vector<rect> list;
  for (int64_t i = 0; i < monitor_count(); ++i) list.push_back(monitor_work_area(i));
  return list;
}

rect taskbar_work_area(const rect& m, const rect& taskbar) {
  rect t = C_Geometry::rects_overlap(taskbar, m) ? taskbar : rect{};
  rect r = m;
  bool wide = r.w - 6 < t.w;
  bool tall = r.h - 6 < t.h;
  if (wide && bottom_of(m) - 6 < bottom_of(t)) {
    r.h = t.y - m.y;
  } else if (wide && t.y < m.y + 6) {
    r.h = bottom_of(m) - bottom_of(t);
    r.y = bottom_of(t);
  } else if (tall && right_of(m) - 6 < right_of(t)) {
    r.w = t.x - m.x;
  } else if (tall && t.x < m.x + 6) {
    r.w = right_of(m) - right_of(t);
    r.x = right_of(t);
  }
  return r;
}

rect work_area_for(const rect& monitor, const rect& platform_work, const rect& taskbar,
                   const std::string& platform_lower) {
  if (platform_lower.find("windows") != std::string::npos) return taskbar_work_area(monitor, taskbar);
  if (!(platform_work.w > 0) || !(platform_work.h > 0)) return monitor;
  return platform_work;
}

int64_t best_monitor(const std::vector<rect>& monitors, const rect& window) {
  int64_t best = -1;
  double best_area = -1;
  for (size_t i = 0; i < monitors.size(); ++i) {
    if (!C_Geometry::rects_overlap(monitors[i], window)) continue;
    double area = overlap_area(monitors[i], window);
    if (area >= best_area) {
      best_area = area;
      best = static_cast<int64_t>(i);
    }
  }
  return best < 0 ? 0 : best;
}

point center_in(const rect& work, double width, double height) {
  return point{work.x + (work.w - width) / 2, work.y + (work.h - height) / 2};
}

point keep_in(const rect& work, double left, double top, double width, double height) {
  double x = std::max(left, work.x);
  double y = std::max(top, work.y);
  if (x + width > right_of(work)) x = std::max(right_of(work) - width, work.x);
  if (y + height > bottom_of(work)) y = std::max(bottom_of(work) - height, work.y);
  return point{x, y};
}

bool desktop_box(const std::vector<rect>& monitors, rect& box) {
  if (monitors.empty()) return false;
  std::vector<rect> shrunk = monitors;
  shrunk[0] = rect{monitors[0].x + 1, monitors[0].y + 1, monitors[0].w - 2, monitors[0].h - 2};
  return bounding_box(shrunk, box);
}

bool bounding_box(const std::vector<rect>& rects, rect& box) {
  if (rects.empty()) return false;
  double left = rects[0].x, top = rects[0].y, right = right_of(rects[0]), bottom = bottom_of(rects[0]);
  for (const rect& r : rects) {
    left = std::min(left, r.x);
    top = std::min(top, r.y);
    right = std::max(right, right_of(r));
    bottom = std::max(bottom, bottom_of(r));
  }
  box = rect{left, top, right - left, bottom - top};
  return true;
}

namespace {

// The window cut to the work area of monitor m and moved inside it.
rect fit_to_monitor(const std::vector<rect>& monitors, const std::vector<rect>& work_areas, const rect& window,
                    int64_t chosen) {
  const size_t m = static_cast<size_t>(chosen);
  const rect work = m < work_areas.size() && work_areas[m].w > 0 && work_areas[m].h > 0 ? work_areas[m] : monitors[m];
  rect r = window;
  r.w = std::min(r.w, work.w);
  r.h = std::min(r.h, work.h);
  const point at = keep_in(work, r.x, r.y, r.w, r.h);
  r.x = at.x;
  r.y = at.y;
  return r;
}

}  // namespace

rect fit_to_display(const std::vector<rect>& monitors, const std::vector<rect>& work_areas, const rect& window) {
  if (monitors.empty()) return window;
  int64_t chosen = -1;
  for (size_t i = 0; i < monitors.size() && chosen < 0; ++i)
    if (C_Geometry::point_in_rect(monitors[i], point{window.x + 1, window.y + 1})) chosen = static_cast<int64_t>(i);
  if (chosen < 0) chosen = best_monitor(monitors, window);
  return fit_to_monitor(monitors, work_areas, window, chosen);
}

rect fit_to_landing(const std::vector<rect>& monitors, const std::vector<rect>& work_areas, const rect& window) {
  if (monitors.empty()) return window;
  return fit_to_monitor(monitors, work_areas, window, best_monitor(monitors, window));
}

bool wholly_on(const std::vector<rect>& monitors, const rect& window) {
  // Monitors do not overlap one another: their shares add up.
  double shown = 0;
  for (const rect& m : monitors) shown += overlap_area(m, window);
  return shown >= window.w * window.h - 1e-6;
}

bool shown_on_any(const std::vector<rect>& monitors, const rect& window) {
  for (const rect& m : monitors)
    if (overlap_area(m, window) > 0) return true;
  return false;
}

namespace {
double part(double v) { return std::isfinite(v) && v > 0 ? v : 0.0; }
}  // namespace

double Window_rects::frame_left() const { return part(own.x - outer.x); }
double Window_rects::frame_top() const { return part(own.y - outer.y); }
double Window_rects::frame_w() const { return part(outer.w - own.w); }
double Window_rects::frame_h() const { return part(outer.h - own.h); }
double Window_rects::around_client_w() const { return part(outer.w - client_w); }
double Window_rects::around_client_h() const { return part(outer.h - client_h); }

rect Window_rects::outer_of(const rect& r) const {
  return rect{r.x - frame_left(), r.y - frame_top(), r.w + frame_w(), r.h + frame_h()};
}

rect Window_rects::own_of(const rect& r) const {
  return rect{r.x + frame_left(), r.y + frame_top(), r.w - frame_w(), r.h - frame_h()};
}

std::string what_letters(const std::string& what) {
  if (what.empty() || what.find('*') != std::string::npos) return "WHLT";
  return what;
}

bool wants(const std::string& letters, char letter) { return letters.find(letter) != std::string::npos; }

}  // namespace Placement

// ---- C_Form ----

namespace {

bool finite(double v) { return std::isfinite(v); }

bool on_linux() { return System_functions::platform_lower().find("linux") != std::string::npos; }

// The outer size a mode settles on, moving the window where the mode says.
// width and height are valid sizes already.
void fit_outer(C_Form& form, sizing_options mode, double& width, double& height) {
  if (mode == sizing_options::SIZE_AS_IS) return;
  Placement::refresh_monitors();
  std::vector<rect> monitors = Placement::monitor_rects();
  rect cur = form.get_bounds();
  if (mode == sizing_options::FIT_TO_DESKTOP) {
    rect box;
    if (!Placement::desktop_box(monitors, box)) return;
    width = std::min(width, box.w);
    height = std::min(height, box.h);
    // Moves made to fit are not placements of the caller's.
    if (box.x > cur.x) C_Brek_form::set_position(form.native, box.x, cur.y);
    if (box.y > cur.y) C_Brek_form::set_position(form.native, form.get_left(), box.y);
    return;
  }
  // The window's monitor keeps it whole: a window larger than the work
  // area is cut to it (its columns make do with the room).
  const rect fitted =
      Placement::fit_to_display(monitors, Placement::monitor_work_areas(), rect{cur.x, cur.y, width, height});
  width = fitted.w;
  height = fitted.h;
  if (fitted.x != cur.x || fitted.y != cur.y) C_Brek_form::set_position(form.native, fitted.x, fitted.y);
}

// Where a window of outer rectangle r goes in the mode: as it is, centred
// on the work area of the monitor it shares most with, or kept inside it.
point position_for(positioning mode, const rect& r) {
  if (mode == positioning::POSITION_AS_IS) return point{r.x, r.y};
  Placement::refresh_monitors();
  if (Placement::monitor_count() == 0) return point{r.x, r.y};
  const rect work = Placement::monitor_work_area(Placement::best_monitor(Placement::monitor_rects(), r));
  return mode == positioning::CENTER_ON_SCREEN ? Placement::center_in(work, r.w, r.h)
                                               : Placement::keep_in(work, r.x, r.y, r.w, r.h);
}

// The window's rectangles as they are now; a window without an own
// rectangle yet (none shown) counts as one without a frame.
Placement::Window_rects rects_of(C_Form& form) {
  Placement::Window_rects r;
  r.outer = form.get_bounds();
  r.own = C_Brek_form::get_window_rect(form.native);
  if (!(r.own.w > 0) || !(r.own.h > 0)) r.own = r.outer;
  r.client_w = form.get_client_width();
  r.client_h = form.get_client_height();
  return r;
}

// Moves the outer rectangle to (left, top) as the mode says, through the
// window's own rectangle and the frame it had when the caller looked: a
// manager that changes the frame meanwhile moves nothing stored.
void place_outer(C_Form& form, const Placement::Window_rects& was, positioning mode, double left, double top) {
  const rect own = C_Brek_form::get_window_rect(form.native);
  if (!(own.w > 0) || !(own.h > 0)) {
    form.set_position(mode, top, left);
    return;
  }
  const rect outer{left, top, own.w + was.frame_w(), own.h + was.frame_h()};
  const point at = position_for(mode, outer);
  form.placed = 1;
  C_Brek_form::set_window_rect(form.native, was.own_of(rect{at.x, at.y, outer.w, outer.h}));
}

}  // namespace

void C_Form::set_position(positioning mode, double top, double left) {
  if (is_none() || native == 0) return;
  rect cur = get_bounds();
  if (!finite(left)) left = cur.x;
  if (!finite(top)) top = cur.y;
  placed = 1;
  const point at = position_for(mode, rect{left, top, cur.w, cur.h});
  C_Brek_form::set_position(native, at.x, at.y);
}

void C_Form::set_size(sizing_options mode, double height, double width) {
  if (is_none() || native == 0) return;
  bool given_w = width > 0 && finite(width);
  bool given_h = height > 0 && finite(height);
  if (!given_w) width = get_width();
  if (!given_h) height = get_height();
  fit_outer(*this, mode, width, height);
  if (mode != sizing_options::SIZE_AS_IS || given_w) want_width = width;
  if (mode != sizing_options::SIZE_AS_IS || given_h) want_height = height;
  C_Brek_form::set_size(native, width, height);
}

void C_Form::set_client_size(sizing_options mode, double height, double width) {
  if (is_none() || native == 0) return;
  // The frame as the window has it now; the modes work on the outer size.
  const Placement::Window_rects r = rects_of(*this);
  const double frame_w = r.around_client_w();
  const double frame_h = r.around_client_h();
  bool given_w = width > 0 && finite(width);
  bool given_h = height > 0 && finite(height);
  double outer_w = (given_w ? width : r.client_w) + frame_w;
  double outer_h = (given_h ? height : r.client_h) + frame_h;
  fit_outer(*this, mode, outer_w, outer_h);
  if (mode != sizing_options::SIZE_AS_IS || given_w) want_width = outer_w;
  if (mode != sizing_options::SIZE_AS_IS || given_h) want_height = outer_h;
  C_Brek_form::set_client_size(native, outer_w - frame_w, outer_h - frame_h);
}

void C_Form::save_placement(const std::string& application, const std::string& section, const std::string& what) {
  if (is_none() || native == 0) return;
  // A minimized or maximized window's place and size are not the ones to
  // come back to.
  const int state = get_window_state();
  if (state == static_cast<int>(state_of_form::MINIMIZED) || state == static_cast<int>(state_of_form::MAXIMIZED))
    return;
  if (what.find('A') == std::string::npos && (creating || !placed || !is_visible())) return;
  std::string letters = Placement::what_letters(what);
  Settings_writes::run(Ref<C_Form>(this), [&] {
    Ref<C_Config> config = C_Config::open_write(application, area_where_configuration_is_stored::USER, section);
    bool linux_keys = on_linux();
    // The window's own place and size: what a window manager adds around
    // it differs between managers and comes and goes with full screen.
    const Placement::Window_rects r = rects_of(*this);
    const rect own = r.own;
    if (Placement::wants(letters, 'W')) {
      if (linux_keys) config->write_real("CWidth", r.client_w);
      config->write_real("Width", own.w);
    }
    if (Placement::wants(letters, 'H')) {
      config->write_real("Height", own.h);
      if (linux_keys) config->write_real("CHeight", r.client_h);
    }
    if (Placement::wants(letters, 'L')) config->write_real("Left", own.x);
    if (Placement::wants(letters, 'T')) config->write_real("Top", own.y);
  });
}

bool C_Form::load_placement(const std::string& application, const std::string& section, const std::string& what) {
  if (is_none() || native == 0) return false;
  Ref<C_Config> config = C_Config::open_read(application, area_where_configuration_is_stored::USER, section);
  std::string letters = Placement::what_letters(what);
  // A value that is not a number counts as missing; hand edits and old
  // files may hold anything.
  auto read = [&](const char* name, double& out) {
    if (!config->exists(name)) return false;
    double v = config->read_real_value(name);
    if (!finite(v)) return false;
    out = v;
    return true;
  };
  Placement::Stored_window st;
  st.has_w = Placement::wants(letters, 'W') && read("Width", st.width);
  st.has_h = Placement::wants(letters, 'H') && read("Height", st.height);
  st.client = st.has_w && st.has_h && on_linux() && read("CHeight", st.cheight);
  if (st.client && !read("CWidth", st.cwidth)) st.cwidth = 0;
  st.has_l = Placement::wants(letters, 'L') && read("Left", st.left);
  st.has_t = Placement::wants(letters, 'T') && read("Top", st.top);
  // Placed with a frame the manager did not tell yet, the window is placed
  // again once it is shown and framed (C_Form::show), where a frame larger
  // than none would carry it past its monitor.
  refit_when_framed = st.has_w && st.has_h && st.has_l && st.has_t && !C_Brek_form::frame_known(native);
  if (refit_when_framed) refit_stored = st;
  return apply_placement(st);
}

void C_Form::refit_framed() {
  if (is_none() || !refit_when_framed || !is_visible() || !C_Brek_form::frame_known(native)) return;
  refit_when_framed = 0;
  apply_placement(refit_stored);
}

bool C_Form::apply_placement(const Placement::Stored_window& st) {
  // A size larger than every monitor together, or than their work areas,
  // is cut to them; a client size leaves room for the window's frame.
  Placement::refresh_monitors();
  std::vector<rect> monitors = Placement::monitor_rects();
  rect box;
  bool have_box = Placement::desktop_box(monitors, box);
  rect work;
  if (have_box && Placement::bounding_box(Placement::monitor_work_areas(), work)) {
    box.w = std::min(box.w, work.w);
    box.h = std::min(box.h, work.h);
  }
  auto cut = [&](double& size, double limit) {
    if (have_box && size > limit) size = limit;
  };
  // Stored values are the window's own; the rules here place the outer
  // rectangle, with the frame a window manager gives it.
  const Placement::Window_rects wm = rects_of(*this);
  const double frame_w = wm.around_client_w();
  const double frame_h = wm.around_client_h();

  const bool has_w = st.has_w, has_h = st.has_h, has_l = st.has_l, has_t = st.has_t, client = st.client;
  double width = st.width + wm.frame_w(), height = st.height + wm.frame_h();
  cut(width, box.w);
  cut(height, box.h);
  double cwidth = st.cwidth, cheight = st.cheight;
  if (client) {
    if (!(cwidth > 0)) cwidth = wm.client_w;
    cut(cwidth, box.w - frame_w);
    cut(cheight, box.h - frame_h);
  }

  const double left = st.left - wm.frame_left(), top = st.top - wm.frame_top();
  if (has_w && has_h && has_l && has_t) {
    // Size and place together: the size is cut to the monitor the window
    // lands on, not to the one it is on before it moves.
    const rect stored = client ? rect{left, top, cwidth + frame_w, cheight + frame_h} : rect{left, top, width, height};
    const rect at = Placement::fit_to_landing(monitors, Placement::monitor_work_areas(), stored);
    if (client)
      set_client_size(sizing_options::SIZE_AS_IS, at.h - frame_h, at.w - frame_w);
    else
      set_size(sizing_options::SIZE_AS_IS, at.h, at.w);
    want_width = at.w;
    want_height = at.h;
    place_outer(*this, wm, positioning::POSITION_AS_IS, at.x, at.y);
    placed = 1;
    return true;
  }
  if (client) {
    set_client_size(sizing_options::FIT_TO_DISPLAY, cheight, cwidth);
  } else if (has_w && has_h) {
    set_size(sizing_options::FIT_TO_DISPLAY, height, width);
  } else {
    if (has_w) set_width(width);
    if (has_h) set_height(height);
  }
  if (has_l || has_t) {
    // One coordinate is taken as it stands, unless no monitor would show
    // the window there.
    const rect cur = wm.outer_of(rects_of(*this).own);
    rect there{has_l ? left : cur.x, has_t ? top : cur.y, cur.w, cur.h};
    const bool shown = monitors.empty() || Placement::shown_on_any(monitors, there);
    place_outer(*this, wm, shown ? positioning::POSITION_AS_IS : positioning::KEEP_ON_SCREEN, there.x, there.y);
  }
  placed = 1;
  return false;
}

void C_Form::center_on_monitor_of(const Ref<C_Form>& other) {
  if (is_none() || native == 0 || other->native == 0) return;
  Placement::refresh_monitors();
  if (Placement::monitor_count() == 0) return;
  const rect work = Placement::monitor_work_area(Placement::best_monitor(Placement::monitor_rects(), other->get_bounds()));
  rect r = get_bounds();
  r.w = std::min(r.w, work.w);
  r.h = std::min(r.h, work.h);
  const point at = Placement::center_in(work, r.w, r.h);
  placed = 1;
  set_bounds(rect{at.x, at.y, r.w, r.h});
}

void C_Form::keep_on_monitors() {
  if (is_none() || native == 0 || !is_visible() || get_window_state() != static_cast<int>(state_of_form::NORMAL))
    return;
  Placement::refresh_monitors();
  const std::vector<rect> monitors = Placement::monitor_rects();
  const rect b = get_bounds();
  if (monitors.empty() || Placement::wholly_on(monitors, b)) return;
  set_bounds(Placement::fit_to_display(monitors, Placement::monitor_work_areas(), b));
}

bool C_Form::set_full_screen(bool on, const rect& monitor) {
  if (is_none() || native == 0 || !C_Brek_form::can_full_screen(native)) return false;
  // A normal window is moved wholly onto the monitor first, so that the
  // manager fills that one. A maximized one is on its monitor already: a
  // manager may tell a frame it does not draw then (icewm), and a move of
  // it would become the size the manager gives back later.
  if (on && monitor.w > 0 && monitor.h > 0 && get_window_state() == static_cast<int>(state_of_form::NORMAL)) {
    const rect b = get_bounds();
    if (!Placement::wholly_on({monitor}, b)) set_bounds(Placement::fit_to_display({monitor}, {monitor}, b));
  }
  if (!C_Brek_form::set_full_screen(native, on)) return false;
  border_kind = on ? 1 : 0;
  return true;
}

}  // namespace brek
