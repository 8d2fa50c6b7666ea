// Painting the "Move to dir" window: nine panels, each a capsule with its
// number, its path and thumbnails of the first pictures in its directory.
// Thumbnails are listed and loaded a little at a time; the window's timer
// repaints until every panel that has room is filled, and the worker's
// pictures of huge files come by the timer of its own.
#include <algorithm>

#include "drawing/bitmap.h"
#include "drawing/font.h"
#include "viewer/additional_collage.h"
#include "viewer/captions.h"
#include "drawing/canvas_keep.h"
#include "viewer/collage_viewer.h"
#include "viewer/directory_view.h"
#include "viewer/move_to_dirs.h"

namespace brek {

namespace {

// What a thumbnail shows: the picture, the reduced picture or the frame an
// animation shows (`frame` says which); None while nothing is loaded.
Ref<C_Bitmap> shown_picture(const Ref<C_Image>& image, int64_t& frame) {
  frame = 0;
  if (image->picture.is_none() && !image->reduced.is_none()) return image->reduced;
  return image->shown_picture(&frame);
}

// How thumbnails are stretched (their copies are kept at this quality).
constexpr quality_drawing_lines_shapes QUALITY = quality_drawing_lines_shapes::MEDIUM;

rect to_pixels(const rect& r) {
  auto px = [](double v) { return C_Canvas::convert_units(v, units_measure_graphics::POINTS, units_measure_graphics::PIXELS); };
  return rect{px(r.x), px(r.y), px(r.w), px(r.h)};
}

}  // namespace

void C_Move_to_dirs::repaint() {
  if (!is_none()) panel_box->invalidate_all();
}

void C_Move_to_dirs::on_paint() {
  if (is_none()) return;
  if (current_control().get() != panel_box.get()) return;
  paint_into(panel_box->canvas, panel_box->get_width(), panel_box->get_height());
}

void C_Move_to_dirs::paint_into(const Ref<C_Canvas>& canvas, double box_w, double box_h) {
  if (is_none() || canvas.is_none()) return;
  timer->set_enabled(false);
  Canvas_keep keep(canvas);
  canvas->units = units_measure_graphics::POINTS;
  canvas->brush_color = C_Canvas::system_color(int64_t(system_color::BUTTON));
  canvas->clear();
  const double ph = box_h / double(TARGET_COUNT);
  if (!(ph > 4) || !(box_w > 0)) return;
  bool listed = false;
  for (int64_t n = 1; n <= TARGET_COUNT; ++n) paint_panel(canvas, n, box_w, ph, listed);
}

void C_Move_to_dirs::paint_panel(const Ref<C_Canvas>& canvas, int64_t n, double box_w, double ph, bool& listed) {
  St_dir__C_Move_to_dirs* t = target_at_index(n);
  if (!t) return;
  rect r = C_Geometry::rect_inflate(rect{0, double(n - 1) * ph, box_w, ph}, -2, -2);
  const double h = ph - 4;
  if (r.w < 2 * h) r.w = 2 * h;

  const bool hover = n == hover_target;
  const Color colour = hover ? HOVER_COLOR : C_Canvas::system_color(int64_t(system_color::BUTTON_TEXT));
  canvas->pen_color = colour;
  canvas->brush_style = brush_style::CLEAR_BRUSH;

  // The number, then the path beside it.
  const double size = canvas->font->size;
  const std::string number = std::to_string(n);
  canvas->font->size = h;
  const double number_w = canvas->text_extent(number).w;
  canvas->draw_text(point{r.x + h / 2, r.y}, number);
  double x = h / 2 + number_w + 4;
  if (!t->path.empty()) {
    canvas->font->size = ph / 2;
    const std::string text = t->unanswered ? t->path + Viewer_captions::NO_ANSWER : t->path;
    const double path_w = canvas->text_extent(text).w;
    canvas->draw_text(point{x, r.y + ph / 4}, text);
    x += path_w;
    if (r.x + r.w < x + 4) r.w = x + 4 - r.x;
  }
  canvas->font->size = size;
  canvas->brush_style = brush_style::SOLID_BRUSH;
  t->rect = r;

  // At most one directory listed per paint (a target without a path
  // lists nothing and costs nothing).
  if (!t->listed && (t->path.empty() || !listed)) {
    list_target(n);
    t = target_at_index(n);
    // A folder whose mount owes an answer was not asked.
    if (!t->path.empty() && !t->unanswered) listed = true;
  }

  // Thumbnails: at most one loaded per panel per paint.
  x += 4;
  const double right = r.x + r.w;
  bool pending = !t->path.empty() && !t->listed;
  paint_thumbnails(canvas, *t, x, r.y, h, right, pending);
  // Repainted shortly while there is room and something is still to come.
  if (right - 1.5 * h - x >= 0 && pending) timer->set_enabled(true);

  // The capsule around the panel.
  canvas->pen_color = colour;
  canvas->pen_width = hover ? 2.0 : 1.0;
  canvas->draw_round_rect(rect{r.x, r.y, h, h}, point{90, 270});
  canvas->draw_round_rect(rect{right - h, r.y, h, h}, point{270, 90});
  canvas->draw_line(point{r.x + h / 2, r.y}, point{right - h / 2, r.y});
  canvas->draw_line(point{r.x + h / 2, r.y + h}, point{right - h / 2, r.y + h});
  canvas->pen_width = 1.0;
}

bool C_Move_to_dirs::draw_thumbnail(const Ref<C_Canvas>& canvas, const Ref<C_Image>& image, const rect& cell) {
  Thumbnail_cache& kept = viewer.lock()->collage->thumbnails;
  int64_t frame = 0;
  const Ref<C_Bitmap> picture = shown_picture(image, frame);
  if (picture.is_none()) return kept.draw_kept(canvas, cell, image.get(), false);
  viewer.lock()->collage->fit_kept_thumbnail(canvas, cell, picture, frame, false, image);
  // The window keeps its thumbnails for as long as it lives.
  kept.keep_only_the_copy(canvas, cell, image, false);
  return true;
}

void C_Move_to_dirs::paint_thumbnails(const Ref<C_Canvas>& canvas, St_dir__C_Move_to_dirs& t, double& x, double y,
                                      double h, double right, bool& pending) {
  Canvas_keep keep(canvas);
  canvas->quality = QUALITY;
  bool load_done = false;
  for (const Ref<C_Image>& image : t.images) {
    if (!(right - h - x > 0)) break;
    const rect cell = to_pixels(rect{x, y, h, h});
    canvas->units = units_measure_graphics::PIXELS;
    const bool drawn = draw_thumbnail(canvas, image, cell);
    canvas->units = units_measure_graphics::POINTS;
    if (drawn) {
      x += h;
      continue;
    }
    // An image without a picture takes no room; one the worker reads
    // comes by the worker's timer, full panel or not; one on a mount that
    // does not answer is not read.
    if (image->load_failed || thumb_decodes_.wanted(image)) continue;
    if (image->on_silent_mount()) continue;
    if (load_done) {
      pending = true;
      continue;
    }
    load_done = true;
    int64_t side = 0, side_h = 0;
    Thumbnail_cache::device_size(canvas, rect{x, y, h, h}, side, side_h);
    if (image->width == 0) image->read_header_info(double(side), double(side));
    if (thumb_decodes_.takes(image, side, side_h)) {
      // A square crops a picture of other proportions.
      const rect square{0, 0, double(side), double(side_h)};
      thumb_decodes_.want(image, side, side_h,
                          !Directory_view::fit(double(image->width), double(image->height), square).whole);
      continue;
    }
    image->load(double(side), double(side));
    canvas->units = units_measure_graphics::PIXELS;
    if (draw_thumbnail(canvas, image, cell)) x += h;
    canvas->units = units_measure_graphics::POINTS;
  }
}

}  // namespace brek
