// Painting the editor's sheet: white, the cards bottom first at the zoom
// and scroll position, the frames and corner handles of the selected
// cards, the rubber band while Shift is held, and a scroll area that
// covers every card.
#include <algorithm>
#include <cmath>

#include "baselib/mathematics.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "drawing/paintbox.h"
#include "images/image.h"
#include "printing/edit_collage_print.h"

namespace brek {

namespace {

// Restores a canvas's pen, brush and transform after a paint, also when
// drawing fails.
struct Canvas_state {
  Ref<C_Canvas> canvas;
  Color pen;
  Color brush;
  brek::brush_style style;
  units_measure_graphics units;
  explicit Canvas_state(const Ref<C_Canvas>& c)
      : canvas(c), pen(c->pen_color), brush(c->brush_color), style(c->brush_style), units(c->units) {}
  ~Canvas_state() {
    canvas->pen_color = pen;
    canvas->brush_color = brush;
    canvas->brush_style = style;
    canvas->units = units;
    canvas->reset_transform();
  }
};

// A scaled copy is kept while it is at most this many times the box.
constexpr double SCALED_CACHE_BOXES = 4.0;

double to_pixels(double points) {
  return C_Canvas::convert_units(points, units_measure_graphics::POINTS, units_measure_graphics::PIXELS);
}

point rotated_about(const point& p, const point& centre, double degrees) {
  const double a = degrees * 3.14159265358979323846 / 180.0;
  const double dx = p.x - centre.x, dy = p.y - centre.y;
  return point{centre.x + dx * std::cos(a) - dy * std::sin(a), centre.y + dx * std::sin(a) + dy * std::cos(a)};
}

}  // namespace

void C_Edit_collage_print::on_paint() {
  if (is_none()) return;
  if (current_control().get() == pbox.get() && !pbox.is_none()) paint_sheet(pbox->canvas);
  C_Form_common::on_paint();
}

void C_Edit_collage_print::paint_sheet(const Ref<C_Canvas>& canvas) {
  if (is_none() || canvas.is_none()) return;
  Canvas_state restore(canvas);
  canvas->brush_color = SHEET_COLOUR;
  canvas->brush_style = brush_style::SOLID_BRUSH;
  canvas->reset_transform();
  canvas->clear();

  const rect view = pbox->visible_rect();
  double max_r = 0, max_b = 0;
  std::vector<Scaled_cache> kept;
  for (int64_t i = 0; i < cards.count(); ++i) {
    const card c = cards.get(i);
    const rect& r = c.rect;
    const bool turned = !Mathematics::approx_equal(c.angle, 0);
    const point centre{r.x + r.w / 2, r.y + r.h / 2};
    // Each new transform acts before the earlier ones: the card turns
    // about its centre, then sheet units become box points.
    canvas->reset_transform();
    canvas->translate_transform(-view.x, -view.y);
    canvas->scale_transform(zoom, zoom);
    if (turned) {
      canvas->translate_transform(centre.x, centre.y);
      canvas->rotate_transform(c.angle);
      canvas->translate_transform(-centre.x, -centre.y);
    }
    Ref<C_Bitmap> picture = card_picture(c.image.lock());
    if (!picture.is_none() && (turned || !draw_scaled(canvas, picture, r, kept))) picture->stretch_draw(canvas, r);
    canvas->reset_transform();

    if (selection.contains(i)) {
      // Frames and handles stay one pixel and six points at any zoom.
      point corners[4] = {{r.x, r.y}, {r.x + r.w, r.y}, {r.x + r.w, r.y + r.h}, {r.x, r.y + r.h}};
      for (point& p : corners) {
        if (turned) p = rotated_about(p, centre, c.angle);
        p = box_of_sheet(p);
      }
      canvas->pen_color = FRAME_COLOUR;
      DynArray<point> outline;
      for (const point& p : corners) outline.append(p);
      outline.append(corners[0]);
      canvas->draw_polyline(outline, false);
      for (const point& p : corners) draw_selection_frame(canvas, p);
    }

    max_r = std::max(max_r, r.x + r.w);
    max_b = std::max(max_b, r.y + r.h);
    if (turned) {
      max_r = std::max(max_r, r.x + r.h);
      max_b = std::max(max_b, r.y + r.w);
    }
  }

  if (shift_held()) {
    const point p = box_point(mouse_position());
    canvas->pen_color = FRAME_COLOUR;
    canvas->brush_style = brush_style::CLEAR_BRUSH;
    draw_dashed_line(canvas, last_point, point{p.x, last_point.y});
    draw_dashed_line(canvas, point{p.x, last_point.y}, p);
    draw_dashed_line(canvas, p, point{last_point.x, p.y});
    draw_dashed_line(canvas, point{last_point.x, p.y}, last_point);
  }

  scaled_ = std::move(kept);
  // Pictures of images no card shows any more go.
  std::erase_if(held_, [&](const Held_picture& h) {
    for (const card& c : cards)
      if (c.image.get() == h.image.get()) return false;
    return true;
  });
  // Frames of animations no card shows any more go.
  std::erase_if(frames_, [&](const Frame_cache& f) {
    for (const card& c : cards)
      if (c.image.get() == f.image.get()) return false;
    return true;
  });

  // The scroll area covers every card; an empty sheet has none.
  pbox->content_width = std::max(0.0, max_r * zoom);
  pbox->content_height = std::max(0.0, max_b * zoom);
  pbox->set_content_size(pbox->content_width, pbox->content_height);
}

bool C_Edit_collage_print::draw_scaled(const Ref<C_Canvas>& canvas, const Ref<C_Bitmap>& picture, const rect& card,
                                       std::vector<Scaled_cache>& kept) {
  const point corner = box_of_sheet(point{card.x, card.y});
  const double x = std::round(to_pixels(corner.x)), y = std::round(to_pixels(corner.y));
  const double w = std::round(to_pixels(card.w * zoom)), h = std::round(to_pixels(card.h * zoom));
  const double box_w = to_pixels(pbox->visible_rect().w), box_h = to_pixels(pbox->visible_rect().h);
  if (!(w >= 1 && h >= 1) || w * h > SCALED_CACHE_BOXES * std::max(1.0, box_w * box_h)) return false;
  // Out of sight: the stretch draws nothing anyway, and nothing is kept.
  if (x + w <= 0 || y + h <= 0 || x >= box_w || y >= box_h) return false;
  if (w == double(picture->width) && h == double(picture->height)) return false;
  Ref<C_Bitmap> scaled;
  for (auto it = scaled_.begin(); it != scaled_.end(); ++it)
    if (it->source.get() == picture.get() && double(it->width) == w && double(it->height) == h) {
      scaled = it->scaled;
      scaled_.erase(it);
      break;
    }
  if (scaled.is_none()) {
    scaled = C_Bitmap::create(int64_t(w), int64_t(h), picture->has_alpha() ? 32 : 0);
    Ref<C_Canvas> sc = scaled->canvas();
    sc->units = units_measure_graphics::PIXELS;
    sc->quality = quality_drawing_lines_shapes::HIGH;
    if (picture->has_alpha()) {
      // Transparent parts stay transparent in the copy.
      if (Pixels* px = scaled->pixels()) *px = Pixels(int(w), int(h), 0);
    }
    picture->stretch_draw(sc, rect{0, 0, w, h});
  }
  kept.push_back(Scaled_cache{Weak<C_Bitmap>(picture), int64_t(w), int64_t(h), scaled});
  canvas->reset_transform();
  const units_measure_graphics units = canvas->units;
  canvas->units = units_measure_graphics::PIXELS;
  scaled->draw_at(canvas, point{x, y});
  canvas->units = units;
  return true;
}

void C_Edit_collage_print::draw_selection_frame(const Ref<C_Canvas>& canvas, const point& corner) {
  if (is_none() || canvas.is_none()) return;
  const Color brush = canvas->brush_color;
  const brush_style style = canvas->brush_style;
  const double half = HANDLE_SIZE / 2;
  const rect h{corner.x - half, corner.y - half, HANDLE_SIZE, HANDLE_SIZE};
  if (C_Geometry::point_in_rect(h, box_point(mouse_position()))) {
    canvas->brush_color = HOVER_COLOUR;
    canvas->brush_style = brush_style::SOLID_BRUSH;
  } else {
    canvas->brush_style = brush_style::CLEAR_BRUSH;
  }
  canvas->draw_rectangle(h);
  canvas->brush_color = brush;
  canvas->brush_style = style;
}

void C_Edit_collage_print::draw_dashed_line(const Ref<C_Canvas>& canvas, const point& a, const point& b) {
  if (is_none() || canvas.is_none()) return;
  const Color pen = canvas->pen_color;
  const bool vertical = Mathematics::approx_equal(a.x, b.x);
  const double from = vertical ? std::min(a.y, b.y) : std::min(a.x, b.x);
  const double to = vertical ? std::max(a.y, b.y) : std::max(a.x, b.x);
  const double across = vertical ? a.x : a.y;
  const int64_t first = int64_t(std::trunc(from));
  const int64_t last = int64_t(std::trunc(to)) + 2;
  for (int64_t n = first; n <= last && double(n) <= to; ++n) {
    const int64_t phase = ((n % 4) + 4) % 4;
    if (phase != 1 && phase != 2) continue;
    canvas->pen_color = phase == 1 ? DASH_COLOUR : pen;
    if (vertical)
      canvas->draw_line(point{across, double(n)}, point{across, double(n + 1)});
    else
      canvas->draw_line(point{double(n), across}, point{double(n + 1), across});
  }
  canvas->pen_color = pen;
}

}  // namespace brek
