#pragma once
// The one drawing surface of the program: a canvas on a bitmap, on a
// painted control or on a printer page draws lines, rectangles, ellipses,
// arcs, polygons, text and bitmaps in its unit of measure, with a pen, a
// brush, a font, a clip rectangle, a stretch quality and a world
// transform. Drawing never reports errors and does nothing without a
// surface.

#include <cstdint>
#include <memory>
#include <string>

#include "baselib/geometry.h"
#include "drawing/colors.h"
#include "drawing/units.h"
#include "runtime/dyn_array.h"
#include "runtime/object.h"

namespace brek {

class C_Bitmap;
class C_Font;
struct Native_bitmap;

enum class pen_style { SOLID_PEN, CLEAR_PEN };
enum class brush_style { SOLID_BRUSH, CLEAR_BRUSH, HORIZONTAL, VERTICAL, DIAGONAL, BDIAGONAL, CROSS, DIAGONAL_CROSS };
enum class quality_drawing_lines_shapes { HIGH, MEDIUM, LOW };

// Two angles in degrees: the arc runs from b counter-clockwise to a.
struct arc_information {
  double a = 0;
  double b = 0;
};

class C_Canvas : public Brek_object {
  BREK_CLASS(C_Canvas)
 public:
  C_Canvas();
  ~C_Canvas() override;

  Weak<C_Bitmap> bitmap;
  Weak<Brek_object> paintbox;
  int64_t printer = 0;
  Color pen_color = COLOR_BLACK;
  Color brush_color = COLOR_WHITE;
  bool alpha_plane = false;
  rect clip_rect;
  double pen_width = 1.0;
  brek::pen_style pen_style = brek::pen_style::SOLID_PEN;
  brek::brush_style brush_style = brek::brush_style::SOLID_BRUSH;
  Ref<C_Font> font;
  units_measure_graphics units = units_measure_graphics::POINTS;
  quality_drawing_lines_shapes quality = quality_drawing_lines_shapes::HIGH;

  // ---- creation ----
  static Ref<C_Canvas> create_on_bitmap(const Ref<C_Bitmap>& bitmap);
  static Ref<C_Canvas> create_on_paintbox(const Ref<Brek_object>& paintbox);
  // A canvas on a device page (a printer page) named by its platform handle.
  static Ref<C_Canvas> create_on_printer(int64_t printer);
  void init() override;
  void destroy_hook() override;
  // Releases the native drawing objects (nothing is held between calls).
  void detach() {}

  // The native surface: the bitmap's, or the printer page's; nullptr when
  // the canvas has none.
  Native_bitmap* native_surface() const;

  // ---- state ----
  void set_font(const Ref<C_Font>& f);
  void reset_transform();
  // Each acts on coordinates before the transforms set earlier.
  void translate_transform(double dx, double dy);
  void rotate_transform(double angle);
  void scale_transform(double sx, double sy);

  // ---- drawing (coordinates in `units`) ----
  void clear();
  void draw_line(const point& p1, const point& p2);
  void draw_rectangle(const rect& r);
  void draw_ellipse(const rect& r);
  void draw_arc(const rect& r, const arc_information& arc, bool pie);
  // The outline of the ellipse in r from the angle angles.x to the angle
  // angles.y (degrees), both counted as on paper: counter-clockwise from
  // three o'clock, so 90 points up; the arc runs counter-clockwise.
  void draw_round_rect(const rect& r, const point& angles);
  void draw_polyline(const DynArray<point>& points, bool closed);
  void draw_text(const point& p, const std::string& text);
  // (0, 0, width, height) of the text in `units`; all 0 for an empty text.
  int64_t text_extent(const std::string& text, rect& out);
  rect text_extent(const std::string& text);
  // Copies pixels of the source canvas (rectangles in device pixels,
  // truncated, whatever `units` says), stretching when sizes differ.
  void copy_rect(const rect& dest, const rect& source, const Ref<C_Canvas>& source_canvas);

  // ---- conversions and colours ----
  static double convert_units(double value, units_measure_graphics from, units_measure_graphics to);
  static int64_t to_device_pixels(double points);
  static double from_device_pixels(double pixels);
  static Color system_color(int64_t item) { return Colors::system(item); }
  static Color average_colors(Color a, Color b) { return Colors::average(a, b); }
  static Color blend_colors(Color first, Color second, int64_t percent) { return Colors::blend(first, second, percent); }
  static bool pixel_order_rgba() { return false; }

 private:
  std::unique_ptr<Native_bitmap> printer_native_;
};

}  // namespace brek
