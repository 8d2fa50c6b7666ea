#include "printing/print_preview.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/paintbox.h"
#include "drawing/pixel_math.h"
#include "forms/edit.h"
#include "forms/checkbox.h"
#include "baselib/mathematics.h"
#include "printing/print_dialog.h"
#include "runtime/strings.h"

namespace brek {

namespace Print_preview {

rect Sheets::sheet(int64_t column, int64_t row) const {
  const double w = paper_cm.x * scale, h = paper_cm.y * scale;
  return rect{gap + double(column) * (w + gap), gap + double(row) * (h + gap), w, h};
}

Sheets sheets_of(const Poster_options& options, const point& size) {
  // The geometry holds the counts and lengths as printing does.
  const Poster_geometry g(options, rect{}, 1);
  Sheets s;
  s.columns = g.columns;
  s.rows = g.rows;
  s.paper_cm = point{g.paper.x / 10, g.paper.y / 10};
  const point poster{double(s.columns) * s.paper_cm.x, double(s.rows) * s.paper_cm.y};
  // The gaps of many sheets would leave the sheets no room: they narrow
  // until they take at most a fifth of the preview either way.
  s.gap = std::min({GAP, size.x / double(5 * (s.columns + 1)), size.y / double(5 * (s.rows + 1))});
  if (!(s.gap > 0)) s.gap = 0;
  point room{size.x - double(s.columns + 1) * s.gap, size.y - double(s.rows + 1) * s.gap};
  using Brek_runtime::real_div;
  if (real_div(poster.x, poster.y) < real_div(room.x, room.y))
    room.x = room.y * real_div(poster.x, poster.y);
  else
    room.y = room.x * real_div(poster.y, poster.x);
  double k = std::min(real_div(room.x, poster.x), real_div(room.y, poster.y));
  // A paper that cannot be printed on shows no sheet.
  if (!std::isfinite(k) || k < 0 || !Poster_layout::readable_paper(g.paper)) k = 0;
  s.scale = k;
  return s;
}

namespace {

// The overlap of two rectangles; an empty one at a's corner when none.
rect intersection(const rect& a, const rect& b) {
  const double l = std::max(a.x, b.x), t = std::max(a.y, b.y);
  const double r = std::min(a.x + a.w, b.x + b.w), btm = std::min(a.y + a.h, b.y + b.h);
  if (r <= l || btm <= t) return rect{l, t, 0, 0};
  return rect{l, t, r - l, btm - t};
}

}  // namespace

namespace {

// The kept copy of `source` at cw x ch, made on first need.
Ref<C_Bitmap> copy_of(Preview_copies& copies, const Ref<C_Bitmap>& source, int64_t cw, int64_t ch) {
  const int64_t w = source->width, h = source->height;
  for (Preview_copy& e : copies.entries)
    if (e.source.lock().get() == source.get() && e.source_width == w && e.source_height == h &&
        e.copy->width == cw && e.copy->height == ch) {
      e.used = true;
      return e.copy;
    }
  Ref<C_Bitmap> copy = C_Bitmap::create(cw, ch, 24);
  Ref<C_Canvas> c = copy->canvas();
  c->units = units_measure_graphics::PIXELS;
  source->stretch_draw(c, rect{0, 0, double(cw), double(ch)});
  copies.entries.push_back(Preview_copy{Weak<C_Bitmap>(source), w, h, copy, true});
  return copy;
}

}  // namespace

Ref<C_Bitmap> reduced(Preview_copies& copies, const Ref<C_Bitmap>& source, int64_t max_width, int64_t max_height) {
  if (source.is_none() || source->has_alpha() || max_width <= 0 || max_height <= 0) return source;
  const int64_t w = source->width, h = source->height;
  if (w <= max_width && h <= max_height) return source;
  const double k = std::min(double(max_width) / double(w), double(max_height) / double(h));
  return copy_of(copies, source, std::max<int64_t>(1, int64_t(std::ceil(double(w) * k))),
                 std::max<int64_t>(1, int64_t(std::ceil(double(h) * k))));
}

Ref<C_Bitmap> card_copy(Preview_copies& copies, const Ref<C_Bitmap>& source, int64_t width, int64_t height,
                        int64_t max_width, int64_t max_height) {
  if (source.is_none() || source->has_alpha() || width <= 0 || height <= 0 || width > max_width ||
      height > max_height || width >= source->width || height >= source->height)
    return reduced(copies, source, max_width, max_height);
  return copy_of(copies, source, width, height);
}

void paint(const Ref<C_Canvas>& canvas, const point& size, Poster_source& source, bool as_images,
           Preview_copies* copies) {
  if (canvas.is_none()) return;
  C_Canvas& c = *canvas;
  const Color pen = c.pen_color, brush = c.brush_color;
  const rect clip = c.clip_rect;
  c.brush_style = brush_style::SOLID_BRUSH;
  c.brush_color = BACKGROUND;
  c.clear();

  const Poster_options options = source.poster_options();
  const Sheets sheets = sheets_of(options, size);
  // Sheets with no size would show as a grid of dots.
  if (!(sheets.scale > 0)) {
    c.pen_color = pen;
    c.brush_color = brush;
    return;
  }
  std::vector<rect> cards;
  const int64_t n = source.poster_card_count();
  for (int64_t i = 0; i < n; ++i) cards.push_back(source.poster_card_rect(i));
  // Preview points per millimetre of paper stand for the printer's unit.
  const Poster_geometry g(options, Poster_layout::union_box(cards), sheets.scale / 10);
  if (copies)
    for (Preview_copy& e : copies->entries) e.used = false;
  auto pixels = [&](double v) {
    return Brek_runtime::to_int64_checked(std::ceil(C_Canvas::convert_units(v, c.units, units_measure_graphics::PIXELS)));
  };
  const int64_t max_w = pixels(size.x) + 1, max_h = pixels(size.y) + 1;

  for (int64_t r = 0; r < sheets.rows; ++r)
    for (int64_t col = 0; col < sheets.columns; ++col) {
      const rect sheet = sheets.sheet(col, r);
      c.pen_color = SHADOW;
      c.brush_color = SHADOW;
      c.draw_rectangle(C_Geometry::rect_offset(sheet, sheets.gap / 2, sheets.gap / 2));
      c.brush_color = SHEET;
      c.draw_rectangle(sheet);

      // The cards end at the sheet's margins, as they do when printed.
      const rect inside = g.inside_margins(sheet);
      c.clip_rect = (clip.w == 0 && clip.h == 0) ? inside : intersection(inside, clip);
      if (c.clip_rect.w == 0 || c.clip_rect.h == 0) {
        c.clip_rect = clip;
        continue;
      }
      const point origin = g.page_origin(col, r, sheet);
      for (int64_t i = 0; i < n; ++i) {
        const rect placed = g.place_card(cards[size_t(i)], origin);
        if (!Poster_geometry::card_on_sheet(placed, sheet)) continue;
        if (as_images) {
          // The size the drawing gives the card, so a copy is drawn as it is.
          const double x = C_Canvas::convert_units(placed.x, c.units, units_measure_graphics::PIXELS);
          const double y = C_Canvas::convert_units(placed.y, c.units, units_measure_graphics::PIXELS);
          const double w = C_Canvas::convert_units(placed.w, c.units, units_measure_graphics::PIXELS);
          const double h = C_Canvas::convert_units(placed.h, c.units, units_measure_graphics::PIXELS);
          const int64_t cw = Pixel_math::round_even(x + w) - Pixel_math::round_even(x);
          const int64_t ch = Pixel_math::round_even(y + h) - Pixel_math::round_even(y);
          Ref<C_Bitmap> b =
              source.poster_card_bitmap(i, g.options.drawing_mode, std::min(cw, max_w), std::min(ch, max_h));
          if (copies) b = card_copy(*copies, b, cw, ch, max_w, max_h);
          b->stretch_draw(canvas, placed);
        } else {
          // Boxes are filled only: the pen still holds the shadow's colour.
          c.brush_color = CARD_BOX;
          c.pen_style = pen_style::CLEAR_PEN;
          c.draw_rectangle(placed);
          c.pen_style = pen_style::SOLID_PEN;
        }
      }
      c.clip_rect = clip;
    }
  if (copies)
    std::erase_if(copies->entries, [](const Preview_copy& e) { return !e.used; });
  c.pen_color = pen;
  c.brush_color = brush;
}

}  // namespace Print_preview

// ---- the dialog's painted boxes -------------------------------------------------

namespace {

Color background_of(const Ref<C_Paintbox>& box) {
  return box->color_set ? box->color : C_Canvas::system_color(int64_t(system_color::BUTTON));
}

}  // namespace

void C_Print_dialog::repaint_preview() {
  if (is_none()) return;
  preview->invalidate_all();
}

void C_Print_dialog::paint_preview() {
  if (is_none() || preview->canvas.is_none()) return;
  Ref<C_Canvas> c = preview->canvas;
  preview_unit = C_Canvas::convert_units(1, units_measure_graphics::PIXELS, units_measure_graphics::POINTS);
  Print_preview::paint(c, point{preview->get_width(), preview->get_height()}, *this, as_images->get_checked(),
                       &preview_copies_);
}

void C_Print_dialog::paint_fit_box() {
  if (is_none() || fit_box->canvas.is_none()) return;
  Ref<C_Canvas> c = fit_box->canvas;
  const double w = fit_box->get_width(), h = fit_box->get_height();
  const Color pen = c->pen_color, brush = c->brush_color;
  c->brush_style = brush_style::SOLID_BRUSH;
  c->brush_color = background_of(fit_box);
  c->clear();
  c->pen_color = C_Canvas::system_color(int64_t(system_color::BUTTON_TEXT));
  c->draw_line(point{h / 2, h / 2}, point{w - h / 2, h / 2});
  const double x = Print_dialog_rules::knob_x(Mathematics::str_to_real(fit->get_text()), w, h);
  DynArray<point> knob;
  knob.append(point{x, 1});
  knob.append(point{x - h / 4, h - 2});
  knob.append(point{x + h / 4, h - 2});
  c->brush_color = COLOR_WHITE;
  c->draw_polyline(knob, true);
  c->pen_color = pen;
  c->brush_color = brush;
}

void C_Print_dialog::paint_align_box() {
  if (is_none() || align_box->canvas.is_none()) return;
  Ref<C_Canvas> c = align_box->canvas;
  const double w = align_box->get_width(), h = align_box->get_height();
  const Color pen = c->pen_color, brush = c->brush_color;
  c->brush_style = brush_style::SOLID_BRUSH;
  c->brush_color = background_of(align_box);
  c->clear();
  c->pen_color = Colors::from_bits(0xFFC0C0C0u);
  for (int r = 0; r < 3; ++r)
    for (int col = 0; col < 3; ++col) {
      const bool chosen = col == align_column && r == align_row;
      c->brush_color = chosen ? Colors::from_bits(0xFFFF0000u) : COLOR_WHITE;
      const rect cell{w * col / 3, h * r / 3, w / 3, h / 3};
      c->draw_rectangle(C_Geometry::rect_inflate(cell, -2, -2));
    }
  c->pen_color = pen;
  c->brush_color = brush;
}

}  // namespace brek
