#pragma once
// Canvas_keep: what a paint changes on a canvas (pen, brush, font size,
// weight and name, unit, quality, clip), given back when it goes, also
// when drawing fails: the canvas is the paint box's or the caller's, and
// whatever paints on it next expects its own settings.

#include <string>

#include "baselib/geometry.h"
#include "drawing/canvas.h"
#include "drawing/font.h"

namespace brek {

struct Canvas_keep {
  Ref<C_Canvas> c;
  Color pen, brush;
  brek::brush_style style;
  double pen_width, size;
  bool bold;
  std::string font_name;
  units_measure_graphics units;
  quality_drawing_lines_shapes quality;
  rect clip;
  explicit Canvas_keep(const Ref<C_Canvas>& canvas)
      : c(canvas),
        pen(canvas->pen_color),
        brush(canvas->brush_color),
        style(canvas->brush_style),
        pen_width(canvas->pen_width),
        size(canvas->font->size),
        bold(canvas->font->bold),
        font_name(canvas->font->name),
        units(canvas->units),
        quality(canvas->quality),
        clip(canvas->clip_rect) {}
  ~Canvas_keep() {
    c->clip_rect = clip;
    c->pen_color = pen;
    c->brush_color = brush;
    c->brush_style = style;
    c->pen_width = pen_width;
    c->font->size = size;
    c->font->bold = bold;
    c->font->name = font_name;
    c->units = units;
    c->quality = quality;
  }
  Canvas_keep(const Canvas_keep&) = delete;
  Canvas_keep& operator=(const Canvas_keep&) = delete;
};

}  // namespace brek
