#include "drawing/paintbox.h"

#include <algorithm>
#include <cmath>
#include <exception>

#include "baselib/date_time.h"
#include "baselib/mathematics.h"
#include "baselib/system_functions.h"
#include "drawing/brek_drawing.h"
#include "drawing/canvas_keep.h"
#include "drawing/pixel_math.h"
#include "drawing/units.h"
#include "forms/control_bridge.h"
#include "forms/event_routing.h"
#include "forms/form_bridge.h"
#include "forms/timer.h"
#include "platform/paint_panel.h"
#include "platform/units.h"
#include "runtime/exceptions.h"
#include "runtime/runtime_services.h"
#include "runtime/strings.h"

namespace brek {

namespace bp = brek_platform;

namespace {

bp::Native_paint_panels& panels() { return bp::native_paint_panels(); }

// The panel's surface, buffer and bars count device pixels.
int64_t px(double points) { return Draw_units::screen_points_to_pixels(points); }
double pt(double pixels) { return bp::pixels_to_points(pixels, Draw_units::screen_pixels_per_inch()); }

// Content sizes in pixels without the 32-bit cut: the scroll bars scale
// what lies beyond their range.
double content_pixels(double points) {
  if (!std::isfinite(points) || points <= 0) return 0;
  return std::trunc(std::min(points, 1e15) * Draw_units::screen_pixels_per_inch() / 72.0 + 0.000001);
}

bool has_area(const rect& r) { return r.w > 0 && r.h > 0; }

// The receiver of the paint panels' reports: the box behind the handle.
class Panel_receiver final : public bp::Paint_panel_events {
 public:
  bp::Raster paint(bp::Native_handle panel, bp::Pixel_box) override {
    try {
      Ref<C_Paintbox> box = ref_cast<C_Paintbox>(C_Brek_form::control_of(panel));
      if (box.is_none()) return {};
      return box->paint_surface();
    } catch (const std::exception& e) {
      Brek_runtime::log_exception(e);
    } catch (...) {
      Brek_runtime::log_exception_text("unknown exception");
    }
    return {};
  }
  void scrolled(bp::Native_handle panel) override {
    try {
      Ref<C_Paintbox> box = ref_cast<C_Paintbox>(C_Brek_form::control_of(panel));
      if (!box.is_none()) box->bar_moved();
    } catch (const std::exception& e) {
      Brek_runtime::log_exception(e);
    } catch (...) {
      Brek_runtime::log_exception_text("unknown exception");
    }
  }
};

void install_receiver() {
  static Panel_receiver* receiver = [] {
    auto* r = new Panel_receiver();
    bp::set_paint_panel_events(r);
    return r;
  }();
  (void)receiver;
}

}  // namespace

C_Paintbox::C_Paintbox() { can_stretch = 1; }

Ref<C_Paintbox> C_Paintbox::new_paintbox(const Ref<C_Form>& form, const std::string& name,
                                          const std::string& options) {
  const std::string lower = Brek_runtime::lower_case(options);
  const bool v = lower.find('v') != std::string::npos;
  const bool h = lower.find('h') != std::string::npos;
  Ref<C_Paintbox> box = make_on_prepared<C_Paintbox>(form, name, [&](C_Paintbox& b) {
    b.has_vbar = v;
    b.has_hbar = h;
  });
  box->has_vbar = v;
  box->has_hbar = h;
  box->set_content_size(box->visible_extent("H"), box->visible_extent("V"));
  return box;
}

void C_Paintbox::init() { C_Control::init(); }

void C_Paintbox::destroy_hook() {
  back_buffer.reset();
  canvas.reset();
  C_Control::destroy_hook();
}

void C_Paintbox::create_native() {
  if (is_none()) return;
  Ref<C_Form> f = form.lock();
  if (f.is_none() || f->native == 0) return;
  f->ensure_column();
  if (column.empty()) column = f->current_column;
  bp::Paint_panel_desc desc;
  desc.form = f->native;
  desc.column = f->column_handle(column);
  desc.vbar = has_vbar != 0;
  desc.hbar = has_hbar != 0;
  desc.focusable = focusable != 0;
  if (desc.column == 0) return;
  install_receiver();
  native = panels().create(desc);
  if (native == 0) return;
  C_Brek_form::register_control(native, Ref<C_Control>(this));
  Ref<C_Screen> s = f->screen.lock();
  if (!s->font_name.empty()) Control_bridge::set_font_name(native, s->font_name);
  if (s->font_size > 0) Control_bridge::set_font_size(native, s->font_size);
  if (System_functions::platform_lower().find("android") != std::string::npos) set_drag_scrolling(true);
}

// ---- sizes ----

double C_Paintbox::get_width() {
  if (in_paint && !back_buffer.is_none()) return pt(double(back_buffer->width));
  return C_Control::get_width();
}

double C_Paintbox::get_height() {
  if (in_paint && !back_buffer.is_none()) return pt(double(back_buffer->height));
  return C_Control::get_height();
}

double C_Paintbox::get_client_width() { return native == 0 ? 0.0 : pt(double(panels().surface(native).w)); }
double C_Paintbox::get_client_height() { return native == 0 ? 0.0 : pt(double(panels().surface(native).h)); }

double C_Paintbox::visible_extent(const std::string& axis) {
  const std::string a = Brek_runtime::lower_case(axis);
  if (a.find('v') != std::string::npos) return get_client_height();
  if (a.find('h') != std::string::npos) return get_client_width();
  return 0;
}

void C_Paintbox::set_color(int64_t colour) {
  if (is_none()) return;
  C_Control::set_color(colour);
  invalidate_all();
}

void C_Paintbox::begin_update() {
  if (is_none()) return;
  C_Control::begin_update();
  if (native != 0) panels().begin_update(native);
}

void C_Paintbox::end_update() {
  if (is_none()) return;
  C_Control::end_update();
  if (native != 0) panels().end_update(native);
}

// ---- invalidation ----

void C_Paintbox::invalidate_rect(const rect& r) {
  if (is_none() || whole_pending) return;
  if (pending_rect.w <= 0) {
    pending_rect = r;
  } else {
    const double right = std::max(pending_rect.x + pending_rect.w, r.x + r.w);
    const double bottom = std::max(pending_rect.y + pending_rect.h, r.y + r.h);
    pending_rect.x = std::min(pending_rect.x, r.x);
    pending_rect.y = std::min(pending_rect.y, r.y);
    pending_rect.w = right - pending_rect.x;
    pending_rect.h = bottom - pending_rect.y;
  }
  needs_paint = 1;
  if (native != 0)
    panels().invalidate(native, {px(pending_rect.x), px(pending_rect.y), px(pending_rect.w) + 1, px(pending_rect.h) + 1});
}

void C_Paintbox::invalidate_all() {
  if (is_none() || whole_pending) return;
  needs_paint = 1;
  if (native != 0) panels().invalidate(native, {0, 0, px(get_width()) + 1, px(get_height()) + 1});
  pending_rect = rect{0, 0, 1000000, 1000000};
  whole_pending = 1;
}

void C_Paintbox::repaint_keep_state() {
  if (is_none()) return;
  const uint8_t kept = needs_paint;
  invalidate_all();
  needs_paint = kept;
}

rect C_Paintbox::paint_rect() {
  bp::Pixel_box u;
  if (native == 0 || !panels().update_rect(native, u)) return pending_rect;
  rect r{pt(double(u.x)), pt(double(u.y)), pt(double(u.w)), pt(double(u.h))};
  if (has_area(pending_rect)) {
    const double right = std::max(r.x + r.w, pending_rect.x + pending_rect.w);
    const double bottom = std::max(r.y + r.h, pending_rect.y + pending_rect.h);
    r.x = std::min(r.x, pending_rect.x);
    r.y = std::min(r.y, pending_rect.y);
    r.w = right - r.x;
    r.h = bottom - r.y;
  }
  return r;
}

// ---- content and scrolling ----

void C_Paintbox::set_content_size(double width, double height) {
  if (is_none()) return;
  if (width > 0) content_width = width;
  if (height > 0) content_height = height;
  if (native != 0) panels().set_ranges(native, content_pixels(content_width), content_pixels(content_height));
}

void C_Paintbox::set_scroll_pos(const point& p) {
  if (is_none()) return;
  auto clamp_axis = [](double v, double content, double visible) {
    if (std::isnan(v)) v = 0;
    if (content - visible - v < 0) v = content - visible;
    if (v < 0) v = 0;
    return v;
  };
  scroll_x = clamp_axis(p.x, content_width, visible_extent("H"));
  scroll_y = clamp_axis(p.y, content_height, visible_extent("V"));
  if (native == 0) return;
  if (has_hbar) panels().set_scroll_pos(native, false, double(px(scroll_x)));
  if (has_vbar) panels().set_scroll_pos(native, true, double(px(scroll_y)));
}

double C_Paintbox::scroll_pos_x() {
  double v = scroll_x;
  if (has_hbar && native != 0) {
    const double bar = pt(panels().scroll_pos(native, false));
    if (std::fabs(bar - scroll_x) > 1.0) v = bar;
  }
  return v < 0 ? 0 : v;
}

double C_Paintbox::scroll_pos_y() {
  double v = scroll_y;
  if (has_vbar && native != 0) {
    const double bar = pt(panels().scroll_pos(native, true));
    if (std::fabs(bar - scroll_y) > 1.0) v = bar;
  }
  return v < 0 ? 0 : v;
}

bool C_Paintbox::is_marked() {
  Ref<C_Form> f = form.lock();
  return native != 0 && C_Brek_form::marked_panel(f->native) == native;
}

rect C_Paintbox::visible_rect() {
  return rect{scroll_pos_x() + drag_offset.x, scroll_pos_y() + drag_offset.y, visible_extent("H"),
              visible_extent("V")};
}

point C_Paintbox::clamp_origin(point o) {
  auto axis = [](double v, double content, double visible) {
    if (std::isnan(v)) v = 0;
    if (content - visible - v < 0) v = content - visible;
    return v < 0 ? 0 : v;
  };
  return {axis(o.x, content_width, visible_extent("H")), axis(o.y, content_height, visible_extent("V"))};
}

void C_Paintbox::bar_moved() {
  if (is_none()) return;
  Ref<C_Paintbox> keep(this);
  Ref<C_Form> f = form.lock();
  if (f.is_none()) {
    repaint();
    return;
  }
  Event_routing::bracket(f, event_kind::SCROLLED, this, [&] { repaint(); });
}

void C_Paintbox::set_cursor(cursor_shapes shape) {
  if (is_none()) return;
  cursor_shape = shape;
  if (native != 0) panels().set_cursor(native, static_cast<bp::Panel_cursor>(shape));
}

void C_Paintbox::set_drag_scrolling(bool on) {
  if (is_none()) return;
  drag_scrolling = on ? 1 : 0;
  invalidate_all();
}

void C_Paintbox::show_caret(int64_t x, int64_t y, int64_t height, int64_t width) {
  if (native != 0) panels().show_caret(native, x, y, height, width);
}

void C_Paintbox::hide_caret() {
  if (native != 0) panels().hide_caret(native);
}

// ---- painting ----

void C_Paintbox::on_paint() {
  if (is_none()) return;
  const bp::Pixel_box surface = native == 0 ? bp::Pixel_box{} : panels().surface(native);
  const int64_t w = surface.w, h = surface.h;
  // The buffer follows the drawing surface alone (the control's own size
  // includes its scroll bars), so it lives as long as the surface keeps
  // its size, or grows within the margins.
  if (!back_buffer.is_none()) {
    const int64_t bw = back_buffer->width, bh = back_buffer->height;
    const int64_t mx = std::max<int64_t>(0, margin_x_percent), my = std::max<int64_t>(0, margin_y_percent);
    const bool keep = w <= bw && bw <= Brek_runtime::int64_div(w * (100 + mx), 100) && h <= bh &&
                      bh <= Brek_runtime::int64_div(h * (100 + my), 100);
    if (!keep) back_buffer.reset();
  }
  bool created = false;
  if (back_buffer.is_none()) {
    const int64_t mx = std::max<int64_t>(0, margin_x_percent), my = std::max<int64_t>(0, margin_y_percent);
    back_buffer = C_Bitmap::create(Brek_runtime::int64_div(w * (100 + mx), 100),
                                   Brek_runtime::int64_div(h * (100 + my), 100), 32);
    created = true;
    needs_paint = 1;
    // All of the new buffer is to be painted.
    pending_rect = rect{0, 0, pt(double(back_buffer->width)), pt(double(back_buffer->height))};
    // A new buffer holds nothing to shift: it is painted whole.
    strip_rect = rect{};
  }
  canvas = back_buffer->canvas();
  if (needs_paint) {
    Ref<C_Form> f = form.lock();
    // The band first: clearing must not wipe what a shift kept.
    if (has_area(strip_rect)) {
      const units_measure_graphics u = canvas->units;
      canvas->clip_rect = rect{C_Canvas::convert_units(strip_rect.x, units_measure_graphics::PIXELS, u),
                               C_Canvas::convert_units(strip_rect.y, units_measure_graphics::PIXELS, u),
                               C_Canvas::convert_units(strip_rect.w, units_measure_graphics::PIXELS, u),
                               C_Canvas::convert_units(strip_rect.h, units_measure_graphics::PIXELS, u)};
    }
    if (color_set) {
      canvas->brush_color = color;
      canvas->clear();
    } else {
      canvas->brush_color = f->colors_set ? f->colors[1] : Colors::system(int64_t(system_color::BUTTON));
      if (created) canvas->clear();
    }
  }
  in_paint = 1;
}

void C_Paintbox::paint_content() {
  if (is_none()) return;
  in_paint = 0;
  needs_paint = 0;
  canvas->reset_transform();
  if (drag_scrolling) {
    Canvas_keep keep(canvas);
    canvas->units = units_measure_graphics::POINTS;
    canvas->brush_style = brush_style::SOLID_BRUSH;
    canvas->pen_width = 1.0;
    canvas->pen_color = COLOR_BLACK;
    canvas->brush_color = COLOR_WHITE;
    draw_indicators();
  }
  canvas->clip_rect = rect{};
  canvas.reset();
  whole_pending = 0;
  pending_rect = rect{};
}

void C_Paintbox::draw_indicators() {
  const rect r = visible_rect();
  if (r.h < content_height) {
    const double f = r.y / (content_height - r.h);
    if (r.y > 0) {
      const double len = (1 + 8 * f) * 0.1 * r.w;
      canvas->draw_rectangle(rect{(r.w - len) / 2, -1, len, 3.0});
    }
    if (content_height - (r.y + r.h) > 0) {
      const double len = (9 - 8 * f) * 0.1 * r.w;
      canvas->draw_rectangle(rect{(r.w - len) / 2, r.h - 2, len, 3.0});
    }
  }
  if (r.w < content_width) {
    const double g = r.x / (content_width - r.w);
    if (r.x > 0) {
      const double len = (1 + 8 * g) * 0.1 * r.h;
      canvas->draw_rectangle(rect{-1, (r.h - len) / 2, 3.0, len});
    }
    if (content_width - (r.x + r.w) > 0) {
      const double len = (9 - 8 * g) * 0.1 * r.h;
      canvas->draw_rectangle(rect{r.w - 2, (r.h - len) / 2, 3.0, len});
    }
  }
}

void C_Paintbox::form_paint() {
  Ref<C_Form> f = form.lock();
  f->on_paint();
}

void C_Paintbox::run_stage(event_kind kind, void (C_Paintbox::*stage)()) {
  Ref<C_Form> f = form.lock();
  try {
    if (f.is_none())
      (this->*stage)();
    else
      Event_routing::bracket(f, kind, this, [&] { (this->*stage)(); });
  } catch (const std::exception& e) {
    // A paint runs for the platform: nothing may unwind into it.
    Brek_runtime::log_exception(e);
  } catch (...) {
    Brek_runtime::log_exception_text("unknown exception");
  }
}

bp::Raster C_Paintbox::paint_surface() {
  if (is_none()) return {};
  Ref<C_Paintbox> keep(this);
  run_stage(event_kind::BEFORE_PAINT, &C_Paintbox::on_paint);
  if (needs_paint) run_stage(event_kind::PAINT, &C_Paintbox::form_paint);
  // The stages end even when one of them failed.
  if (in_paint || !canvas.is_none()) run_stage(event_kind::AFTER_PAINT, &C_Paintbox::paint_content);
  if (back_buffer.is_none()) return {};
  Native_bitmap* nb = back_buffer->native.get();
  if (!nb) return {};
  C_Brek_drawing::reset_transform(*back_buffer->canvas());
  // The window system reads the buffer next.
  bp::release_painters();
  return nb->raster();
}

void C_Paintbox::scroll_back_buffer(int64_t extra_y, int64_t dx, int64_t dy, int64_t extra_x) {
  if (is_none()) return;
  Ref<C_Paintbox> keep(this);
  // Other parts waiting for a repaint would not move with the content.
  if (back_buffer.is_none() || (dx != 0 && dy != 0) || (dx == 0 && dy == 0) || has_area(pending_rect) ||
      whole_pending) {
    invalidate_all();
    return;
  }
  const int64_t w = back_buffer->width, h = back_buffer->height;
  Ref<C_Canvas> c = back_buffer->canvas();
  const units_measure_graphics saved_units = c->units;
  const rect saved_clip = c->clip_rect;
  c->units = units_measure_graphics::PIXELS;
  c->clip_rect = rect{};
  c->copy_rect(rect{double(dx), double(dy), double(w), double(h)}, rect{0, 0, double(w), double(h)}, c);
  c->units = saved_units;
  c->clip_rect = saved_clip;
  extra_x = std::max<int64_t>(0, extra_x);
  extra_y = std::max<int64_t>(0, extra_y);
  // The band the move left without content, in every direction.
  int64_t l = 0, t = 0, r = w, b = h;
  if (dy > 0) {
    b = dy + extra_y;
  } else if (dy < 0) {
    t = h + dy - extra_y;
  } else if (dx > 0) {
    r = dx + extra_x;
  } else {
    l = w + dx - extra_x;
  }
  l = std::clamp<int64_t>(l, 0, w);
  r = std::clamp<int64_t>(r, 0, w);
  t = std::clamp<int64_t>(t, 0, h);
  b = std::clamp<int64_t>(b, 0, h);
  strip_rect = rect{double(l), double(t), double(r - l), double(b - t)};
  invalidate_all();
  struct Clear {
    rect& strip;
    ~Clear() { strip = rect{}; }
  } clear{strip_rect};
  if (native != 0) panels().paint_now(native);
}

// ---- drag scrolling ----

void C_Paintbox::on_mouse_down(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none() || !drag_scrolling) return;
  glide_steps = 0;
  glide_speed = point{};
  sample_count = 0;
  press_time = Date_time::now_ms();
  const rect v = visible_rect();
  press_origin = point{v.x, v.y};
  press_point = point{x, y};
  tracking = 1;
}

void C_Paintbox::on_mouse_move(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  if (whole_pending && form_mouse_buttons() != 0) {
    handled = 1;
    return;
  }
  if (!tracking) return;
  if (!dragging) {
    const rect v = visible_rect();
    if (y < press_point.y) {
      if (content_height - (v.y + v.h) <= 0) return;
      dragging = press_point.y - DRAG_THRESHOLD - y > 0;
    } else if (y > press_point.y) {
      if (v.y <= 0) return;
      dragging = y - press_point.y > DRAG_THRESHOLD;
    }
    if (!dragging) {
      if (x < press_point.x) {
        if (content_width - (v.x + v.w) <= 0) return;
        dragging = press_point.x - DRAG_THRESHOLD - x > 0;
      } else if (x > press_point.x) {
        if (v.x <= 0) return;
        dragging = x - press_point.x > DRAG_THRESHOLD;
      }
    }
    if (!dragging) {
      handled = 1;
      return;
    }
  }
  // The view's origin follows the pointer; the offset is what it adds to
  // the scroll position, which is counted once.
  const point o = clamp_origin(point{press_origin.x - (x - press_point.x), press_origin.y - (y - press_point.y)});
  drag_offset = point{o.x - scroll_pos_x(), o.y - scroll_pos_y()};
  invalidate_all();
  handled = 1;
  const double now = Date_time::now_ms();
  if (sample_count >= 2) sample_interval = last_sample_time - prev_sample_time;
  if (sample_count >= 1) {
    if (now - last_sample_time < SAMPLE_MS) return;
    prev_sample_time = last_sample_time;
    prev_sample_point = last_sample_point;
  }
  last_sample_point = point{x, y};
  last_sample_time = now;
  sample_count += 1;
}

void C_Paintbox::on_mouse_up(double x, double y, button_mouse button, uint8_t shift) {
  if (is_none()) return;
  if (dragging && sample_count >= 2) {
    const double ddx = last_sample_point.x - prev_sample_point.x;
    const double ddy = last_sample_point.y - prev_sample_point.y;
    if ((std::fabs(ddx) > 1.0 || std::fabs(ddy) > 1.0) && sample_interval > 1.0) {
      const double t = last_sample_time - prev_sample_time;
      glide_speed = point{Brek_runtime::real_div(ddx * 1000, t), Brek_runtime::real_div(ddy * 1000, t)};
      last_sample_time = Date_time::now_ms();
      glide_steps = GLIDE_STEPS;
      // Twenty steps, then the timer stops by itself.
      C_Timer::start_animation(Ref<C_Control>(this), GLIDE_STEPS, GLIDE_TICK_MS);
    }
  }
  dragging = 0;
  tracking = 0;
}

void C_Paintbox::on_animation_tick() {
  if (is_none() || glide_steps <= 0) return;
  const double now = Date_time::now_ms();
  const double e = now - last_sample_time;
  last_sample_time = now;
  const point old = drag_offset;
  auto step = [&](double speed) { return double(Pixel_math::trunc(-speed * e / 1000.0)); };
  const point o = clamp_origin(
      point{scroll_pos_x() + old.x + step(glide_speed.x), scroll_pos_y() + old.y + step(glide_speed.y)});
  drag_offset = point{o.x - scroll_pos_x(), o.y - scroll_pos_y()};
  glide_steps -= 1;
  if (Mathematics::approx_equal(drag_offset.x, old.x) && Mathematics::approx_equal(drag_offset.y, old.y)) return;
  invalidate_all();
}

}  // namespace brek
