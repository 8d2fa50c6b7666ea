#include "drawing/canvas.h"

#include "drawing/bitmap.h"
#include "drawing/brek_drawing.h"
#include "drawing/font.h"
#include "drawing/native_bitmap.h"
#include "drawing/units.h"

namespace brek {

C_Canvas::C_Canvas() = default;
C_Canvas::~C_Canvas() = default;

Ref<C_Canvas> C_Canvas::create_on_bitmap(const Ref<C_Bitmap>& bmp) {
  auto c = make<C_Canvas>();
  c->bitmap = Weak<C_Bitmap>(bmp);
  if (!bmp.is_none()) C_Brek_drawing::canvas_attach(*c, *bmp);
  return c;
}

Ref<C_Canvas> C_Canvas::create_on_paintbox(const Ref<Brek_object>& box) {
  auto c = make<C_Canvas>();
  c->paintbox = Weak<Brek_object>(box);
  return c;
}

Ref<C_Canvas> C_Canvas::create_on_printer(int64_t printer) {
  auto c = make<C_Canvas>();
  c->printer = printer;
  if (printer != 0) {
    // A 1 by 1 native object that carries the page.
    c->printer_native_ = std::make_unique<Native_bitmap>();
    c->printer_native_->printer = printer;
    c->printer_native_->canvas = Weak<C_Canvas>(c);
  }
  return c;
}

void C_Canvas::init() {
  pen_color = COLOR_BLACK;
  brush_color = COLOR_WHITE;
  alpha_plane = false;
  clip_rect = rect{};
  pen_width = 1.0;
  pen_style = brek::pen_style::SOLID_PEN;
  brush_style = brek::brush_style::SOLID_BRUSH;
  font = C_Font::new_font("Arial", 10.0);
  units = units_measure_graphics::POINTS;
  quality = quality_drawing_lines_shapes::HIGH;
}

void C_Canvas::destroy_hook() {
  bitmap.reset();
  paintbox.reset();
  font.reset();
  printer_native_.reset();
  Brek_object::destroy_hook();
}

Native_bitmap* C_Canvas::native_surface() const {
  if (is_none()) return nullptr;
  if (printer_native_) return printer_native_.get();
  Ref<C_Bitmap> b = bitmap.lock();
  if (b.is_none()) return nullptr;
  return b->native.get();
}

void C_Canvas::set_font(const Ref<C_Font>& f) {
  if (is_none() || f.is_none()) return;
  font = f;
}

void C_Canvas::reset_transform() { C_Brek_drawing::reset_transform(*this); }
void C_Canvas::translate_transform(double dx, double dy) { C_Brek_drawing::translate_transform(*this, dx, dy); }
void C_Canvas::rotate_transform(double angle) { C_Brek_drawing::rotate_transform(*this, angle); }
void C_Canvas::scale_transform(double sx, double sy) { C_Brek_drawing::scale_transform(*this, sx, sy); }

void C_Canvas::clear() {
  if (is_none()) return;
  Color saved_pen = pen_color;
  units_measure_graphics saved_units = units;
  pen_color = brush_color;
  if (paintbox.is_none()) {
    Ref<C_Bitmap> b = bitmap.lock();
    int64_t w = b->width + 1, h = b->height + 1;
    units = units_measure_graphics::PIXELS;
    if (w > 1 && h > 1) draw_rectangle(rect{0, 0, double(w), double(h)});
  }
  // A paint box canvas has no surface of its own: painted controls clear
  // the canvas of their back buffer.
  units = saved_units;
  pen_color = saved_pen;
}

void C_Canvas::draw_line(const point& p1, const point& p2) { C_Brek_drawing::line(*this, p1, p2); }

void C_Canvas::draw_rectangle(const rect& r) {
  C_Brek_drawing::rectangle(*this, rect{r.x, r.y, r.w + 1, r.h + 1});
}

void C_Canvas::draw_ellipse(const rect& r) { C_Brek_drawing::ellipse(*this, r); }

void C_Canvas::draw_arc(const rect& r, const arc_information& a, bool pie) {
  C_Brek_drawing::arc(*this, r, a.a, a.b, pie);
}

void C_Canvas::draw_round_rect(const rect& r, const point& angles) {
  // draw_arc counts its angles with y growing downwards: mirrored here.
  C_Brek_drawing::arc(*this, r, -angles.y, -angles.x, false);
}

void C_Canvas::draw_polyline(const DynArray<point>& points, bool closed) {
  if (points.count() < 2) return;
  DynAReal xs, ys;
  for (int64_t i = 0; i < points.count(); ++i) {
    point p = points.get(i);
    xs.append(p.x);
    ys.append(p.y);
  }
  C_Brek_drawing::polygon(*this, xs, ys, closed);
}

void C_Canvas::draw_text(const point& p, const std::string& text) {
  if (text.empty()) return;
  C_Brek_drawing::text_out(*this, text, p);
}

int64_t C_Canvas::text_extent(const std::string& text, rect& out) {
  out = rect{};
  if (text.empty()) return 0;
  C_Brek_drawing::text_with_font(*this, text, out);
  return 0;
}

rect C_Canvas::text_extent(const std::string& text) {
  rect r;
  text_extent(text, r);
  return r;
}

void C_Canvas::copy_rect(const rect& dest, const rect& source, const Ref<C_Canvas>& source_canvas) {
  if (is_none() || source_canvas.is_none()) return;
  C_Brek_drawing::copy_rect(*this, dest, *source_canvas, source);
}

double C_Canvas::convert_units(double value, units_measure_graphics from, units_measure_graphics to) {
  if (from == to) return value;
  double points = 0;
  switch (from) {
    case units_measure_graphics::POINTS: points = value; break;
    case units_measure_graphics::PIXELS: points = from_device_pixels(value); break;
    case units_measure_graphics::INCHES: points = value * 72; break;
    case units_measure_graphics::CENTIMETERS: points = value / 2.54 * 72; break;
  }
  switch (to) {
    case units_measure_graphics::POINTS: return points;
    case units_measure_graphics::PIXELS: return double(to_device_pixels(points));
    case units_measure_graphics::INCHES: return points / 72;
    case units_measure_graphics::CENTIMETERS: return points / 72 * 2.54;
  }
  return 0;
}

int64_t C_Canvas::to_device_pixels(double points) { return Draw_units::screen_points_to_pixels(points); }

double C_Canvas::from_device_pixels(double pixels) { return Draw_units::screen_pixels_to_points(pixels); }

}  // namespace brek
