#include "drawing/paint_tabs.h"

#include <algorithm>
#include <cmath>

#include "baselib/mathematics.h"
#include "drawing/font.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "forms/placement.h"
#include "forms/timer.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

Color system(system_color c) { return Colors::system(int64_t(c)); }

// Where a tab lies against the selected one.
enum class side { LEFT, SELECTED, RIGHT };

side side_of(int64_t i, int64_t selected) {
  if (i < selected) return side::LEFT;
  if (i == selected) return side::SELECTED;
  return side::RIGHT;
}

// Inside or on the edge of a convex outline of four corners.
bool inside(const point* q, double x, double y) {
  bool has_pos = false, has_neg = false;
  for (int k = 0; k < 4; ++k) {
    const point a = q[k], b = q[(k + 1) % 4];
    const double cross = (b.x - a.x) * (y - a.y) - (b.y - a.y) * (x - a.x);
    if (cross > 0) has_pos = true;
    if (cross < 0) has_neg = true;
    if (has_pos && has_neg) return false;
  }
  return true;
}

}  // namespace

C_Paint_tabs::C_Paint_tabs() = default;

Ref<C_Paint_tabs> C_Paint_tabs::new_tabs(const Ref<C_Form>& form, const std::string& name,
                                         const DynAStr& initial) {
  Ref<C_Paint_tabs> t = make_on<C_Paint_tabs>(form, name);
  for (int64_t i = 0; i < initial.count(); ++i) t->captions.append(initial.get(i));
  t->invalidate_all();
  return t;
}

void C_Paint_tabs::destroy_hook() {
  captions.clear();
  tab_bytes.clear();
  tab_x.clear();
  tab_w.clear();
  C_Paintbox::destroy_hook();
}

void C_Paint_tabs::set_selected(int64_t index) {
  if (is_none() || index < 0 || index >= captions.count()) return;
  selected = int32_t(index);
  scroll_request = 1;
  invalidate_all();
  C_Brek_form::relayout_for_control(Ref<C_Control>(this));
}

double C_Paint_tabs::strip_height() {
  const double h = visible_extent("V");
  return h > 0 ? h : get_height();
}

double C_Paint_tabs::usable_width() {
  double w = visible_extent("H");
  if (!(w > 0)) w = get_width();
  Ref<C_Form> f = form.lock();
  if (!f.is_none() && f->native != 0) {
    const double fw = f->get_client_width();
    if (fw > 0) w = min_real(w, fw);
  }
  const std::vector<rect> monitors = Placement::monitor_rects();
  if (!monitors.empty()) {
    double left = monitors[0].x, right = monitors[0].x + monitors[0].w;
    for (const rect& m : monitors) {
      left = min_real(left, m.x);
      right = max_real(right, m.x + m.w);
    }
    if (right - left > 0) w = min_real(w, right - left);
  }
  return w;
}

double C_Paint_tabs::clamp_offset(double value) {
  if (!std::isfinite(value)) value = 0;
  const double w = usable_width();
  const double h = strip_height();
  const int64_t last = captions.count() - 1;
  const double x_last = tab_x.get(last), w_last = tab_w.get(last);
  if (w - h / 2 - (x_last + value + w_last) > 0) value = w - h / 2 - x_last - w_last;
  if (value > 0) value = 0;
  return value;
}

bool C_Paint_tabs::row_fits() {
  const int64_t last = captions.count() - 1;
  return usable_width() - strip_height() / 2 - (tab_x.get(last) + tab_w.get(last)) >= 0;
}

rect C_Paint_tabs::bounding_rect(const DynArray<point>& points) {
  const point a = points.get(0), b = points.get(1);
  const double l = min_real(a.x, b.x), t = min_real(a.y, b.y);
  return rect{l, t, max_real(a.x, b.x) - l, max_real(a.y, b.y) - t};
}

void C_Paint_tabs::draw_caption(const Ref<C_Canvas>& c, const rect& r, const std::string& text) {
  c->draw_text(point{r.x, r.y}, text);
}

// ---- pointer ----

int64_t C_Paint_tabs::tab_at(double x, double y) {
  const int64_t n = std::min(captions.count(), tab_corners.count() / 4);
  if (n <= 0) return -1;
  auto hit = [&](int64_t i) {
    const point q[4] = {tab_corners.get(4 * i), tab_corners.get(4 * i + 1), tab_corners.get(4 * i + 2),
                        tab_corners.get(4 * i + 3)};
    return inside(q, x, y);
  };
  // The order the tabs lie on each other: the selected one on top, then
  // its neighbours outwards, each covering the next one out.
  const int64_t s = std::clamp<int64_t>(selected, 0, n - 1);
  if (hit(s)) return s;
  for (int64_t i = s - 1; i >= 0; --i)
    if (hit(i)) return i;
  for (int64_t i = s + 1; i < n; ++i)
    if (hit(i)) return i;
  return -1;
}

void C_Paint_tabs::on_mouse_down(double x, double y, button_mouse, uint8_t) {
  if (is_none()) return;
  Ref<C_Paint_tabs> keep(this);
  dragging = form_mouse_buttons() == uint8_t(button_mouse::LMB) ? 1 : 0;
  press_x = x;
  press_offset = offset;
  const int64_t i = tab_at(x, y);
  if (i >= 0) set_selected(i);
  // Nothing to scroll.
  if (dragging && Mathematics::approx_equal(offset, 0) && row_fits()) dragging = 0;
}

void C_Paint_tabs::on_mouse_move(double x, double, button_mouse, uint8_t) {
  if (is_none() || !dragging) return;
  offset = clamp_offset(x - press_x + press_offset);
  handled = 1;
  invalidate_all();
}

void C_Paint_tabs::on_mouse_up(double, double, button_mouse, uint8_t) {
  if (is_none()) return;
  dragging = 0;
}

void C_Paint_tabs::on_animation_tick() {
  if (is_none()) return;
  invalidate_all();
  C_Paintbox::on_animation_tick();
}

// ---- painting ----

void C_Paint_tabs::bring_selected_into_view() {
  scroll_request = 0;
  const int64_t s = selected;
  const double sx = tab_x.get(s) + offset, sw = tab_w.get(s);
  const double w = usable_width();
  target_offset = offset;
  if (sx < 0)
    target_offset = -tab_x.get(s);
  else if (sx + sw > w)
    target_offset = w - tab_x.get(s) - sw;
  target_offset = clamp_offset(target_offset);
  if (!Mathematics::approx_equal(target_offset, offset)) {
    offset = target_offset;
    // One repaint shows the row at its new place: a counted tick, so no
    // timer keeps repainting the strip afterwards.
    C_Timer::start_animation(Ref<C_Control>(this), 1, 1);
  }
  event_code = -2;
  fire_click();
}

void C_Paint_tabs::on_paint() {
  if (is_none()) return;
  Ref<C_Paint_tabs> keep(this);
  C_Paintbox::on_paint();
  Ref<C_Canvas> c = canvas;
  if (c.is_none()) return;
  c->reset_transform();

  // Background and font.
  const bool own = color_set != 0;
  c->brush_style = brush_style::SOLID_BRUSH;
  c->brush_color = own ? color : system(system_color::SCROLLBAR);
  const std::string font_name = get_font_name();
  const double font_size = get_font_size();
  if (!font_name.empty() && font_size > 0) c->set_font(C_Font::new_font(font_name, font_size));
  c->font->bold = false;
  event_code = -1;
  c->clear();

  // Row height from all captions at once.
  std::string all;
  const int64_t n = captions.count();
  for (int64_t i = 0; i < n; ++i) all += captions.get(i);
  tab_height = c->text_extent(all + "$").h + 2.0;
  const double H = tab_height, S = H / 8;

  // Layout.
  tab_x.clear();
  tab_w.clear();
  double x = 0;
  for (int64_t i = 0; i < n; ++i) {
    Brek_runtime::loop_tick();
    const double w = min_real(c->text_extent(captions.get(i)).w + H, max_tab_width);
    tab_x.append(x);
    tab_w.append(w);
    x += w;
  }
  if (n > 0 && (selected < 0 || selected >= n)) selected = int32_t(std::clamp<int64_t>(selected, 0, n - 1));

  // Outlines.
  const double B = get_height();
  tab_corners.clear();
  for (int64_t i = 0; i < n; ++i) {
    const double X = tab_x.get(i) + offset, w = tab_w.get(i);
    switch (side_of(i, selected)) {
      case side::LEFT:
        tab_corners.append({X, B - 1});
        tab_corners.append({X + H / 2, B - H - 2.0});
        tab_corners.append({X + w + H / 4, B - H - 2.0});
        tab_corners.append({X + w + H / 4, B - 1});
        break;
      case side::SELECTED:
        tab_corners.append({X, B});
        tab_corners.append({X, B - H - 2 * S});
        tab_corners.append({X + w + H, B - H - 2 * S});
        tab_corners.append({X + w + H, B});
        break;
      case side::RIGHT:
        tab_corners.append({X + 0.75 * H, B - 1});
        tab_corners.append({X + 0.75 * H, B - H - S});
        tab_corners.append({X + w + H / 2, B - H - S});
        tab_corners.append({X + w + H, B - 1});
        break;
    }
  }

  // The selected tab last, its neighbours leaning under it.
  const Color text = own ? (font_color == -1 ? system(system_color::WINDOW_TEXT) : font_color)
                         : system(system_color::WINDOW_FRAME);
  auto draw_tab = [&](int64_t i) {
    Brek_runtime::loop_tick();
    const side sd = side_of(i, selected);
    if (sd == side::SELECTED) {
      c->pen_color = own ? text : system(system_color::WINDOW_TEXT);
      c->brush_color = own ? Colors::average(color, tab_color) : system(system_color::WINDOW);
    } else {
      c->pen_color = text;
      c->brush_color = own ? color : system(system_color::BUTTON);
    }
    c->brush_style = brush_style::SOLID_BRUSH;
    DynArray<point> outline;
    for (int k = 0; k < 4; ++k) outline.append(tab_corners.get(4 * i + k));
    c->draw_polyline(outline, true);
    // The caption inside the tab's top edge, centred on its height; a tab
    // right of the selected one lies under it for its first H.
    const point top_left = outline.get(1), top_right = outline.get(2);
    const double bottom = outline.get(0).y;
    const double cx = tab_x.get(i) + offset + (sd == side::RIGHT ? H + H / 8 : H / 2);
    const double cy = top_left.y + (bottom - top_left.y - (H - 2.0)) / 2;
    const rect saved_clip = c->clip_rect;
    c->clip_rect = rect{cx, top_left.y, max_real(top_right.x - cx, 0.001), bottom - top_left.y};
    draw_caption(c, rect{cx, cy, top_right.x - cx, H - 2.0}, captions.get(i));
    c->clip_rect = saved_clip;
    c->brush_style = brush_style::SOLID_BRUSH;
  };
  for (int64_t i = 0; i < selected && i < n; ++i) draw_tab(i);
  for (int64_t i = n - 1; i >= selected && i >= 0; --i) draw_tab(i);

  if (scroll_request && n > 0) bring_selected_into_view();
}

}  // namespace brek
