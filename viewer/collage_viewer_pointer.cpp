// Pointer input of the main window: presses, moves and the wheel. In the
// single view the pointer pans and the wheel zooms or browses; in the
// directory views hovering picks the current file, the wheel scrolls
// smoothly and a drag at the right edge jumps through the content.
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "baselib/mathematics.h"
#include "runtime/strings.h"
#include "viewer/collage_viewer.h"
#include "viewer/directory_view.h"
#include "viewer/single_view.h"

namespace brek {

namespace {

// A press becomes a drag past this distance, points.
constexpr double DRAG_DISTANCE = 3.0;

double ms_since(const date_time& t) { return Date_time::difference_ms(Date_time::now(), t); }

// Whether the segment from a to b crosses the line at c (one coordinate).
bool crosses(double a, double b, double c) { return (a < c) != (b < c); }

double nearest_corner(const rect& r, const point& p) {
  const point corners[4] = {{r.x, r.y}, {r.x + r.w, r.y}, {r.x, r.y + r.h}, {r.x + r.w, r.y + r.h}};
  double d = C_Geometry::point_distance(corners[0], p);
  for (const point& c : corners) d = std::min(d, C_Geometry::point_distance(c, p));
  return d;
}

}  // namespace

void C_Collage_viewer::on_mouse_down() {
  if (is_none()) return;
  press_point = mouse_position();
  dragged = false;
  const button_mouse b = static_cast<button_mouse>(mouse_buttons());
  if (b == button_mouse::LMB)
    left_down = true;
  else if (b == button_mouse::RMB)
    right_down = true;
}

void C_Collage_viewer::on_mouse_move() {
  if (is_none()) return;
  const point p = mouse_position();
  if (!dragged && (left_down || right_down) && C_Geometry::point_distance(press_point, p) >= DRAG_DISTANCE)
    dragged = true;
  last_pointer = p;
  if (C_Geometry::point_distance(prev_pointer, p) > 1.0) pointer_active_time = Date_time::now();
  const double rested = ms_since(pointer_active_time);

  const rect box = paint_box_frame();
  const double W = view_width(), H = view_height();
  if (single_mode) {
    // The panned picture follows the pointer.
    if (std::fabs(prev_pointer.x - p.x) + std::fabs(prev_pointer.y - p.y) > 0.1) repaint();
    collage->track_cut();
  } else if (dragged && right_down) {
    collage->resize_thumbnails(p);
  } else if (rested > HOVER_REST_MS) {
    pointer_active_time = Date_time::now();
    if (dragged && left_down && p.x - box.x >= 0.9 * W) {
      jump_scroll();
      return;
    }
    hover_update();
  } else {
    collage->track_cut();
  }

  // The overlays that depend on where the pointer is.
  const double Hp = double(C_Canvas::to_device_pixels(H));
  bool crossed = !single_mode && crosses(prev_pointer.x - box.x, p.x - box.x, W - W / 4);
  if (H > 40 && W > 90) {
    if (scroll_y > 0 && crosses(prev_pointer.y - box.y, p.y - box.y, H / 4)) crossed = true;
    if (layout_bottom > Hp + scroll_y && crosses(prev_pointer.y - box.y, p.y - box.y, H - H / 4)) crossed = true;
  }
  if (crossed) repaint();

  if (C_Geometry::point_distance(prev_pointer, p) > 2.0) pointer_active_time = Date_time::now();
  prev_pointer = p;
}

bool C_Collage_viewer::on_wheel() {
  if (is_none()) return false;
  const double a = wheel_delta();
  // The directory views scroll by the amount itself; the single view
  // zooms or browses a step for each whole notch.
  if (!single_mode) {
    zoom(a);
    return false;
  }
  const int64_t notches = Single_view::take_notches(wheel_rest, a);
  for (int64_t i = 0; i < std::abs(notches) && single_mode; ++i)
    zoom(notches < 0 ? -Single_view::WHEEL_NOTCH : Single_view::WHEEL_NOTCH);
  return false;
}

void C_Collage_viewer::zoom_step(double a) {
  if (is_none() || std::isnan(a)) return;
  if (!single_mode) {
    wheel_pending += a;
    if (!timer_2->is_enabled()) timer_2->set_enabled(true);
    return;
  }
  const point p = pointer_in_box();
  const double box_w = double(C_Canvas::to_device_pixels(view_width()));
  const double box_h = double(C_Canvas::to_device_pixels(view_height()));
  const double inner = double(C_Canvas::to_device_pixels(25));
  const bool inside = Single_view::pointer_inside(box_w, box_h, inner, p);
  if (inside && !right_down) {
    if (slideshow) {
      slide_interval = a < 0 ? slide_interval / 1.1 : slide_interval * 1.1;
      return;
    }
    if (a < 0) {
      set_scale(scale * 1.1);
      repaint();
    } else if (a > 0) {
      set_scale(scale / 1.1);
      repaint();
    }
    return;
  }
  // Near the edges, or with the right button held, the wheel browses.
  wheel_browsed = true;
  if (a <= 0)
    next_image(0);
  else
    prev_image();
}

bool C_Collage_viewer::hover_update() {
  if (is_none()) return false;
  if (single_mode) return !current_file.empty();
  const rect box = paint_box_frame();
  const point ev = mouse_position();
  const point p{double(C_Canvas::to_device_pixels(ev.x - box.x)), double(C_Canvas::to_device_pixels(ev.y - box.y))};

  const std::string old_file = current_file;
  rect chosen;
  int64_t chosen_index = -1;
  const int64_t n = files.count();
  const Ref<C_Image>* entries = files.begin();
  for (int64_t i = 0; i < n; ++i) {
    Brek_runtime::loop_tick();
    const Ref<C_Image>& e = entries[i];
    if (e->rect.h <= 0) continue;
    const rect cell = C_Geometry::rect_offset_copy(e->rect, 0, -scroll_y);
    if (!C_Geometry::point_in_rect(cell, p) && !collage->row_hit(p, e)) continue;
    if (chosen.w < 0.1 || nearer_cell(cell, chosen, p)) {
      chosen = cell;
      chosen_index = i;
    }
  }
  // Only the final choice counts: a pointer resting on the edge between two
  // cells does not repaint on every tick.
  if (chosen_index >= 0 && files.get(chosen_index)->file_name != current_file) {
    repaint();
    current_file = files.get(chosen_index)->file_name;
  }

  const double W = view_width(), H = view_height();
  if (current_file != old_file) {
    const rect old_cell = files.get(index_of_file(old_file))->rect;
    Ref<C_Image> now = files.get(chosen_index);
    for (const rect& c : {old_cell, now->rect}) {
      const rect r{C_Canvas::from_device_pixels(c.x), C_Canvas::from_device_pixels(c.y - scroll_y),
                   C_Canvas::from_device_pixels(c.w), C_Canvas::from_device_pixels(c.h)};
      if (c.w > 0) pb->invalidate_rect(r);
    }
    return !current_file.empty();
  }

  // The scroll marks as a paint would show them now, against what the last
  // paint showed: a resting pointer repaints nothing.
  const point at{ev.x - box.x, ev.y - box.y};
  int64_t shown = 0, hovered = -1;
  if (!scroll_pending && files.count() > 0 && double(C_Canvas::to_device_pixels(H)) < layout_bottom) {
    for (int64_t j = 0; j < scroll_marks.count(); ++j) {
      const St_scroll_mark__C_Collage_viewer m = scroll_marks.get(j);
      if (!Directory_view::mark_drawn(Directory_view::Mark{m.x, m.y, m.step}, H, at.y)) continue;
      ++shown;
      if (C_Geometry::point_distance(at, point{m.x, m.y}) <= 10.0) hovered = j;
    }
  }
  if (shown != marks_shown || hovered != hovered_mark || crosses(prev_pointer.x - box.x, at.x, 0.9 * W))
    repaint();
  return !current_file.empty();
}

bool C_Collage_viewer::nearer_cell(const rect& a, const rect& b, const point& p) {
  return nearest_corner(a, p) < nearest_corner(b, p);
}

void C_Collage_viewer::jump_scroll() {
  if (is_none()) return;
  const rect box = paint_box_frame();
  const double H = view_height();
  const double Hp = double(C_Canvas::to_device_pixels(H));
  // The pointer's rows, top to last, span the whole scroll range: in a
  // long folder one row stands for many lines, and the last must reach
  // the end.
  const double rows = H - C_Canvas::from_device_pixels(1);
  const double range = layout_bottom - Hp;
  double y = Brek_runtime::real_div(mouse_position().y - box.y, rows) * range;
  if (!std::isfinite(y)) y = 0;
  // Content shorter than the view stays at its top.
  y = std::max(0.0, std::min(y, range));
  scroll_y = y;
  repaint();
}

void C_Collage_viewer::apply_wheel_scroll(double a) {
  if (is_none() || single_mode || std::isnan(a)) return;
  const double old = scroll_y;
  const rect box = paint_box_frame();
  const point ev = mouse_position();
  const double W = view_width(), H = view_height();
  const double Wp = double(C_Canvas::to_device_pixels(W));
  const double Hp = double(C_Canvas::to_device_pixels(H));
  const double px = ev.x - box.x, py = ev.y - box.y;
  double edge = std::max(Brek_runtime::real_div(std::fabs(px - W / 2), W) * 2,
                         Brek_runtime::real_div(std::fabs(py - H / 2), H) * 2);
  if (!std::isfinite(edge)) edge = 1;
  const double f = 0.001 + edge * edge;
  if (Hp < layout_bottom) {
    scroll_y -= Hp * a * f / 2;
    if (scroll_y < 0) scroll_y = 0;
    if (scroll_y > layout_bottom - Hp) scroll_y = layout_bottom - Hp;
  } else {
    scroll_y = 0;
  }
  if (Mathematics::approx_equal(scroll_y, old)) return;
  repaint();
  const rect band{0, scroll_y, Wp, Hp};
  const rect cur = files.get(index_of_file(current_file))->rect;
  if (!C_Geometry::rects_overlap(cur, band) || cur.w <= 0.1) {
    for (const Ref<C_Image>& e : files) {
      Brek_runtime::loop_tick();
      if (e->rect.w > 0 && C_Geometry::rects_overlap(e->rect, band)) {
        current_file = e->file_name;
        break;
      }
    }
  }
}

}  // namespace brek
