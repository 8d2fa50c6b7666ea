// Painting the main window and the single-image view.
#include <algorithm>
#include <cstdlib>
#include <utility>
#include <vector>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include "baselib/geometry.h"
#include "images/image_file_name.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// Gives the canvas back the drawing quality it had before a paint, also
// when drawing fails.
struct Quality_guard {
  Ref<C_Canvas> canvas;
  quality_drawing_lines_shapes saved;
  explicit Quality_guard(const Ref<C_Canvas>& c) : canvas(c), saved(c->quality) {}
  ~Quality_guard() { canvas->quality = saved; }
};

// A stretched copy is kept while it is at most this many times the paint
// box: fitted pictures always, zoomed ones while they stay small.
constexpr double STRETCH_CACHE_BOXES = 4.0;

}  // namespace

void C_Collage_viewer::on_paint() { paint_into(paint_box_canvas(), paint_box_width(), paint_box_height()); }

void C_Collage_viewer::paint_into(const Ref<C_Canvas>& canvas, double box_w, double box_h) {
  if (is_none() || canvas.is_none()) return;
  // A command makes the oriented copy and repaints once it is done; a
  // paint meanwhile would start another.
  if (orienting_) return;
  paint_canvas_ = canvas;
  paint_w_ = box_w;
  paint_h_ = box_h;
  struct Done {
    C_Collage_viewer* v;
    ~Done() { v->paint_canvas_.reset(); }
  } done{this};

  if (!partial_repaint) {
    canvas->brush_color = COLOR_BLACK;
    canvas->clear();
  }
  set_canvas_units(canvas, units_measure_graphics::PIXELS);
  if (escape_pending) return;

  if (single_mode && !current_file.empty()) {
    const Ref<C_Image> shown = current_image();
    // A step lets go of what was shown before, ahead of reading the new
    // picture so that the two never add up (the copies made to show it
    // too, also where its neighbour keeps the picture); coming from the
    // directory view keeps its cells for the way back.
    if (!single_shown_.is_none() && single_shown_.get() != shown.get()) {
      oriented_.reset();
      stretched_.reset();
      release_pictures_away_from(shown);
    }
    picture_.keep_only(shown);
    play_only(shown->animation);
    single_shown_ = shown;
    painted_image = shown;
    try {
      paint_image();
    } catch (...) {
      painted_image.reset();
      throw;
    }
    painted_image.reset();
    // The cut rectangle and the full-screen caption lie over the picture.
    collage->paint_overlays(canvas, box_w, box_h);
    ticks_since_paint_ = 0;
    return;
  }

  // The single view's copies are not needed in the directory views, nor
  // what it read for the picture shown and its neighbours.
  if (!single_shown_.is_none()) release_beyond_cells();
  play_only(Ref<C_Gif>());
  oriented_.reset();
  stretched_.reset();
  single_shown_.reset();
  picture_.drop();
  paint_collage();
  ticks_since_paint_ = 0;
  release_far_pictures(double(C_Canvas::to_device_pixels(box_w)), double(C_Canvas::to_device_pixels(box_h)));
  if (files.count() == 0 && current_file.empty()) collage->paint_about(canvas, box_w, box_h);
  collage->paint_overlays(canvas, box_w, box_h);
}

namespace {

// Pictures are released only where they can be read again.
bool releasable(const Ref<C_Image>& e) {
  return (!e->picture.is_none() || !e->animation.is_none() || !e->reduced.is_none()) &&
         Image_file_name::names_a_file(e->file_name);
}

}  // namespace

void C_Collage_viewer::release_far_pictures(double box_w_px, double box_h_px, int64_t extra_age) {
  if (is_none()) return;
  const rect band{0, scroll_y, box_w_px, box_h_px};
  for (const Ref<C_Image>& e : files) {
    if (!releasable(e)) continue;
    if (!single_mode && C_Geometry::rects_overlap(e->rect, band)) continue;
    // An entry this view never drew was loaded for the single view or a
    // card: off screen it has no age to wait for.
    if (e->use_stamp != 0) {
      uint64_t diff = e->use_stamp > paint_clock ? uint64_t(e->use_stamp) - uint64_t(paint_clock)
                                                 : uint64_t(paint_clock) - uint64_t(e->use_stamp);
      if (diff + uint64_t(std::max<int64_t>(0, extra_age)) <= 50) continue;
    }
    // In place: the entry keeps its orientation and whatever else holds it
    // keeps the same object; the pictures come back when drawn again.
    release_cell(e);
  }
  keep_within_budget();
}

void C_Collage_viewer::keep_within_budget() {
  if (is_none()) return;
  int64_t held = 0;
  std::vector<std::pair<int64_t, Ref<C_Image>>> older;
  for (const Ref<C_Image>& e : files) {
    const int64_t bytes = e->bytes_held();
    held += bytes;
    // One never drawn here (stamp 0) goes first.
    if (bytes > 0 && releasable(e) && e->use_stamp != paint_clock) older.emplace_back(e->use_stamp, e);
  }
  if (held <= picture_budget) return;
  std::stable_sort(older.begin(), older.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
  for (const auto& [stamp, e] : older) {
    if (held <= picture_budget) break;
    held -= e->bytes_held();
    release_cell(e);
  }
}

void C_Collage_viewer::release_cell(const Ref<C_Image>& e) {
  e->release_pictures();
  collage->thumbnails.forget(e.get());
  e->use_stamp = 0;
  released_since_trim_ = true;
}

void C_Collage_viewer::release_pictures_away_from(const Ref<C_Image>& shown) {
  if (is_none()) return;
  const int64_t n = files.count();
  const Ref<C_Image>* entries = files.begin();
  int64_t at = -1;
  for (int64_t i = 0; i < n && at < 0; ++i)
    if (entries[i].get() == shown.get()) at = i;
  for (int64_t i = 0; i < n; ++i) {
    if (at >= 0 && i >= at - 1 && i <= at + 1) continue;
    const Ref<C_Image>& e = entries[i];
    if (!releasable(e)) continue;
    release_cell(e);
  }
}

void C_Collage_viewer::release_entry(const Ref<C_Image>& image) {
  if (image.is_none() || !Image_file_name::names_a_file(image->file_name)) return;
  if (!is_none() && single_mode && current_image().get() == image.get()) return;
  image->release_pictures();
}

void C_Collage_viewer::release_beyond_cells() {
  if (is_none()) return;
  for (const Ref<C_Image>& e : files) {
    if (!releasable(e)) continue;
    // The cell inside its frame, as it is painted; no picture for one
    // without area.
    const double w = e->rect.w > 0.1 ? e->rect.w - 2 : 0, h = e->rect.h - 2;
    if (!e->holds_more_than(w, h)) continue;
    release_cell(e);
  }
}

void C_Collage_viewer::give_back_released_memory() {
  if (is_none() || !released_since_trim_) return;
  released_since_trim_ = false;
#if defined(__GLIBC__)
  // Freed pixel buffers may sit in the heap's free lists, where they count
  // as the process's memory until handed back.
  malloc_trim(0);
#endif
}

Ref<C_Bitmap> C_Collage_viewer::oriented_bitmap(const Ref<C_Image>& image, bool ticking) {
  Ref<C_Bitmap> source = image->picture;
  Ref<C_Gif> gif = image->animation;
  if (!gif.is_none()) {
    // The animation's own composed picture, not a copy; the copies made
    // from it are stale once it shows another frame.
    source = gif->composed_bitmap();
    if (source.is_none()) source = C_Bitmap::create(0, 0, 32);  // nothing to show
    if (frame_source_.get() != gif.get() || frame_index_ != gif->current_frame) {
      oriented_.reset();
      stretched_.reset();
      frame_source_ = gif;
      frame_index_ = gif->current_frame;
    }
  }

  const int64_t turns = image->quarter_turns - image->applied_turns;
  const bool fx = image->flip_x != image->applied_flip_x;
  const bool fy = image->flip_y != image->applied_flip_y;
  const bool inv = image->inverse != image->applied_inverse;
  if (turns == 0 && !fx && !fy && !inv) {
    oriented_.reset();
    return source;
  }
  if (!oriented_.is_none() && oriented_source_.get() == source.get() && oriented_turns_ == turns &&
      oriented_flip_x_ == fx && oriented_flip_y_ == fy && oriented_inverse_ == inv)
    return oriented_;
  // The old copy goes before the new one is made, and the turn, the
  // mirrors and the inversion make that one copy in one pass: beside the
  // source (which other views and the clipboard may share, so it is never
  // changed) a picture at the size limit is held twice at most.
  oriented_.reset();
  oriented_ = turns != 0 || fx || fy ? source->rotated_90(fx, fy, turns * 90, inv, ticking) : source->inverted(ticking);
  oriented_source_ = source;
  oriented_turns_ = turns;
  oriented_flip_x_ = fx;
  oriented_flip_y_ = fy;
  oriented_inverse_ = inv;
  return oriented_;
}

point C_Collage_viewer::pointer_in_box() {
  point c = cursor_position();
  point o = client_origin();
  rect box = paint_box_frame();
  return point{double(C_Canvas::to_device_pixels(c.x - o.x - box.x)),
               double(C_Canvas::to_device_pixels(c.y - o.y - box.y))};
}

void C_Collage_viewer::set_canvas_units(const Ref<C_Canvas>& canvas, units_measure_graphics units) {
  const units_measure_graphics from = canvas->units;
  if (from == units) return;
  const rect c = canvas->clip_rect;
  if (c.w != 0 || c.h != 0)
    canvas->clip_rect = rect{C_Canvas::convert_units(c.x, from, units), C_Canvas::convert_units(c.y, from, units),
                             C_Canvas::convert_units(c.w, from, units), C_Canvas::convert_units(c.h, from, units)};
  canvas->units = units;
}

point C_Collage_viewer::cursor_in_box() {
  point c = cursor_position();
  point o = client_origin();
  rect box = paint_box_frame();
  return point{c.x - o.x - box.x, c.y - o.y - box.y};
}

void C_Collage_viewer::paint_image() {
  if (is_none()) return;
  Ref<C_Image> image = painted_image;
  Single_view::Input in;
  in.box_w = double(C_Canvas::to_device_pixels(paint_w_));
  in.box_h = double(C_Canvas::to_device_pixels(paint_h_));
  in.scale = scale;
  in.pointer = pointer_in_box();
  in.ctrl = key_info.ctrl != 0;
  in.inner = double(C_Canvas::to_device_pixels(25));
  in.margin = double(C_Canvas::to_device_pixels(8));
  Ref<C_Bitmap> bmp = reduced_for_fit(image, in);
  point part_at;
  bool coming = false;
  if (bmp.is_none())
    bmp = part_in_view(image, in, part_at);
  else
    picture_.drop_part();  // shown fitted: the part is not needed again
  if (bmp.is_none()) bmp = off_thread_picture(image, in, coming);
  single_coming_ = coming;
  if (coming) return;  // black, the caption naming it, until it comes
  if (bmp.is_none()) {
    load_whole(image);
    // However the image came to be shown (a step, a delete, a renewed
    // entry), an animation plays.
    if (!timer_gif->is_enabled()) animate(image);
    bmp = oriented_bitmap(image);
    in.pic_w = double(bmp->width);
    in.pic_h = double(bmp->height);
  }
  // Black: the title says why, however the failure was found (here, on a
  // worker, by the fitted copy's).
  if (image->load_failed) show_file(image);
  if (bmp->width <= 0 || bmp->height <= 0) return;
  Ref<C_Canvas> canvas = paint_canvas_;
  const Single_view::Placement pl = Single_view::place(in);
  fit_mode = pl.fitted;
  image_rect = pl.r;
  image_pixels = point{in.pic_w, in.pic_h};
  if (pl.r.w < 1 || pl.r.h < 1) return;

  Quality_guard guard(canvas);
  canvas->quality = quality_drawing_lines_shapes::HIGH;
  canvas->units = units_measure_graphics::PIXELS;
  if (picture_.holds(bmp)) {
    bmp->draw_at(canvas, part_at);
    return;
  }
  // At its own size, or a copy made at the size it is drawn.
  if (pl.r.w == double(bmp->width) && pl.r.h == double(bmp->height)) {
    bmp->draw_at(canvas, point{pl.r.x, pl.r.y});
    return;
  }
  if (pl.r.w * pl.r.h > STRETCH_CACHE_BOXES * std::max(1.0, in.box_w * in.box_h)) {
    // Too large to keep: only the visible part is stretched.
    stretched_.reset();
    bmp->stretch_draw(canvas, pl.r);
    return;
  }
  if (stretched_.is_none() || stretched_source_.get() != bmp.get() || double(stretched_->width) != pl.r.w ||
      double(stretched_->height) != pl.r.h) {
    stretched_.reset();
    Ref<C_Bitmap> s = C_Bitmap::create(int64_t(pl.r.w), int64_t(pl.r.h), 0);
    Ref<C_Canvas> sc = s->canvas();
    sc->units = units_measure_graphics::PIXELS;
    sc->quality = quality_drawing_lines_shapes::HIGH;
    bmp->stretch_draw(sc, rect{0, 0, pl.r.w, pl.r.h});
    stretched_ = s;
    stretched_source_ = bmp;
  }
  stretched_->draw_at(canvas, point{pl.r.x, pl.r.y});
}

}  // namespace brek
