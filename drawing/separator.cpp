#include "drawing/separator.h"

#include <algorithm>
#include <cmath>

#include "baselib/system_functions.h"
#include "drawing/canvas.h"
#include "forms/control_bridge.h"
#include "forms/form.h"
#include "forms/form_bridge.h"
#include "runtime/runtime_services.h"

namespace brek {

namespace {

Color system(system_color c) { return Colors::system(int64_t(c)); }

bool sideways(layout_on_form l) { return l == layout_on_form::LEFT || l == layout_on_form::RIGHT; }

// Grip marks lie this far apart, points.
constexpr double GRIP_STEP = 3.0;

}  // namespace

C_Separator::C_Separator() = default;

Ref<C_Separator> C_Separator::new_separator(const Ref<C_Form>& form, const std::string& name,
                                            direction_line direction, style_sepator_line style, double margin,
                                            const std::string& resize_column) {
  return make_on_prepared<C_Separator>(form, name, [&](C_Separator& s) {
    s.direction = direction;
    s.style = style;
    s.margin = std::isfinite(margin) ? margin : 0;
    s.resize_column = resize_column;
  });
}

double C_Separator::thickness() const {
  return 2 * margin + (style == style_sepator_line::FLAT ? 1.0 : 2.0);
}

void C_Separator::init() {
  // Registered with the form and given its native part like any control:
  // without them no pointer would ever reach it.
  C_Paintbox::init();
  if (is_none()) return;
  if (horizontal()) {
    set_content_size(-1.0, 11.0);
    set_height(thickness());
    if (resizable) set_cursor(cursor_shapes::SIZE_NS);
  } else {
    set_content_size(11.0, 19.0);
    set_width(thickness());
    if (resizable) set_cursor(cursor_shapes::SIZE_WE);
  }
}

// ---- painting ----

void C_Separator::on_paint() {
  if (is_none()) return;
  C_Paintbox::on_paint();
  Ref<C_Canvas> c = canvas;
  if (c.is_none()) return;
  const bool android = System_functions::platform_lower().find("android") != std::string::npos;
  c->brush_style = brush_style::SOLID_BRUSH;
  c->brush_color = system(android ? system_color::DESKTOP : system_color::BUTTON);
  c->clear();
  const point a = horizontal() ? point{0, margin} : point{margin, 0};
  const point b = horizontal() ? point{get_width(), margin} : point{margin, get_height()};
  if (style == style_sepator_line::RAISED) {
    c->pen_color = system(system_color::BUTTON_HIGHLIGHT);
    c->draw_line(a, b);
    const point d = horizontal() ? point{0, 1.0} : point{1.0, 0};
    c->pen_color = system(system_color::BUTTON_SHADOW);
    c->draw_line({a.x + d.x, a.y + d.y}, {b.x + d.x, b.y + d.y});
  } else {
    c->pen_color = system(system_color::BUTTON_SHADOW);
    c->draw_line(a, b);
  }
}

void C_Separator::draw_grips() {
  Ref<C_Canvas> c = canvas;
  const double length = horizontal() ? get_width() : get_height();
  const double across = horizontal() ? get_height() : get_width();
  if (grip_count > 0) {
    // No more marks than the length holds.
    const int64_t n = std::min<int64_t>(grip_count, int64_t(std::max(0.0, std::floor(length / GRIP_STEP))) + 1);
    const Color saved_pen = c->pen_color;
    const units_measure_graphics saved_units = c->units;
    struct Restore {
      const Ref<C_Canvas>& c;
      Color pen;
      units_measure_graphics units;
      ~Restore() {
        c->pen_color = pen;
        c->units = units;
      }
    } restore{c, saved_pen, saved_units};
    // Whole pixels, so that each mark is one sharp white and one black line.
    c->units = units_measure_graphics::PIXELS;
    const double mid = std::floor(double(C_Canvas::to_device_pixels(length)) / 2);
    const double step = double(C_Canvas::to_device_pixels(GRIP_STEP));
    const double span = double(C_Canvas::to_device_pixels(across));
    for (int64_t i = 0; i < n; ++i) {
      Brek_runtime::loop_tick();
      const double at = mid + std::round((double(i) - double(n - 1) / 2) * step);
      for (int k = 0; k < 2; ++k) {
        c->pen_color = k == 0 ? COLOR_WHITE : COLOR_BLACK;
        const double p = at + k;
        if (horizontal())
          c->draw_line({p, 0}, {p, span});
        else
          c->draw_line({0, p}, {span, p});
      }
    }
  } else if (grip_box && across >= 5.0) {
    const pen_style saved_pen = c->pen_style;
    const Color saved_brush = c->brush_color;
    const brush_style saved_style = c->brush_style;
    c->pen_style = pen_style::CLEAR_PEN;
    c->brush_style = brush_style::SOLID_BRUSH;
    c->brush_color = COLOR_WHITE;
    const double side = across - 2.0;
    const double start = length / 2 - side / 2;
    c->draw_rectangle(horizontal() ? rect{start, 1.0, side - 1.0, side - 1.0} : rect{1.0, start, side - 1.0, side - 1.0});
    c->pen_style = saved_pen;
    c->brush_color = saved_brush;
    c->brush_style = saved_style;
  }
}

void C_Separator::paint_content() {
  if (is_none()) return;
  if (!canvas.is_none()) {
    try {
      draw_grips();
    } catch (...) {
      C_Paintbox::paint_content();
      throw;
    }
  }
  C_Paintbox::paint_content();
}

// ---- dragging ----

std::string C_Separator::find_target() {
  Ref<C_Form> f = form.lock();
  if (f.is_none()) return {};
  if (!resize_column.empty()) return f->column_handle(resize_column) != 0 ? resize_column : std::string();
  const int64_t own = f->column_names.index_of(column);
  if (own < 0) return {};
  const layout_on_form own_layout = static_cast<layout_on_form>(f->column_layouts.get(own));
  int64_t first = own - 1, second = own + 1;
  if (own_layout == layout_on_form::RIGHT || own_layout == layout_on_form::BOTTOM) std::swap(first, second);
  auto usable = [&](int64_t i) {
    if (i < 0 || i >= f->column_names.count()) return false;
    if (f->column_handle(f->column_names.get(i)) == 0) return false;
    return sideways(static_cast<layout_on_form>(f->column_layouts.get(i))) == sideways(own_layout);
  };
  const bool a = usable(first), b = usable(second);
  if (a && b) {
    // A centre column takes whatever is left: sizing it moves nothing.
    if (static_cast<layout_on_form>(f->column_layouts.get(first)) == layout_on_form::CENTER)
      return f->column_names.get(second);
    return f->column_names.get(first);
  }
  if (a) return f->column_names.get(first);
  if (b) return f->column_names.get(second);
  return {};
}

void C_Separator::on_mouse_down(double x, double y, button_mouse, uint8_t) {
  if (is_none() || !resizable) return;
  if (form_mouse_buttons() != uint8_t(button_mouse::LMB)) return;
  Ref<C_Form> f = form.lock();
  const std::string target = find_target();
  if (target.empty()) return;
  const int64_t handle = f->column_handle(target);
  start_size = horizontal() ? Control_bridge::column_client_height(handle) : Control_bridge::column_client_width(handle);
  const rect own = get_bounds();
  const double target_edge =
      C_Brek_form::pixels_to_points(double(Control_bridge::column_pixels(horizontal() ? "T" : "L", handle)));
  target_after = (horizontal() ? own.y : own.x) > target_edge ? 1 : 0;
  press_cursor = f->mouse_position();
  press_offset = point{x, y};
  target_column = target;
  handled = 1;
}

void C_Separator::apply_drag() {
  Ref<C_Form> f = form.lock();
  if (f.is_none() || target_column.empty()) return;
  // The separator stays inside the form.
  const point p = f->mouse_position();
  auto limit = [](double v, double low, double high) {
    if (v > high) v = high;
    if (v < low) v = low;
    return v;
  };
  const double current = horizontal()
                             ? limit(p.y, press_offset.y, f->get_client_height() - get_height() + press_offset.y)
                             : limit(p.x, press_offset.x, f->get_client_width() - get_width() + press_offset.x);
  const double d = current - (horizontal() ? press_cursor.y : press_cursor.x);
  double size = target_after ? start_size + d : start_size - d;
  if (!(size >= 1.0)) size = 1.0;
  if (horizontal())
    f->set_column_height(target_column, size);
  else
    f->set_column_width(target_column, size);
}

void C_Separator::on_mouse_move(double, double, button_mouse, uint8_t) {
  if (is_none() || target_column.empty()) return;
  Ref<C_Separator> keep(this);
  apply_drag();
}

void C_Separator::on_mouse_up(double, double, button_mouse, uint8_t) {
  if (is_none() || target_column.empty()) return;
  Ref<C_Separator> keep(this);
  apply_drag();
  target_column.clear();
  handled = 1;
  Ref<C_Form> f = form.lock();
  f->on_resized();
}

}  // namespace brek
