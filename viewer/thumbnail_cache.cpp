#include "viewer/thumbnail_cache.h"

#include "images/image_file_name.h"

#include <algorithm>
#include <cstdlib>

#include "drawing/native_bitmap.h"
#include "drawing/pixel_math.h"

namespace brek {

Ref<C_Bitmap> Thumbnail_cache::at_size(const Ref<C_Bitmap>& picture, int64_t w, int64_t h,
                                       quality_drawing_lines_shapes quality, int64_t frame, bool over_black,
                                       const Ref<Brek_object>& owner, const rect& part) {
  if (picture.is_none() || w <= 0 || h <= 0) return Ref<C_Bitmap>();
  // A copy starts opaque black: a transparent picture is kept only where
  // it is drawn over black anyway.
  const bool blended = picture->has_alpha();
  if (blended && !over_black) return Ref<C_Bitmap>();
  const int64_t area = w * h;
  if (!fits(area) || (area > MAX_PIXELS / 4 && picture->width * picture->height < 4 * area))
    return Ref<C_Bitmap>();
  ++clock_;
  for (Entry& e : entries_)
    if (e.source.lock().get() == picture.get() && e.source_w == picture->width && e.source_h == picture->height &&
        e.part == part && e.frame == frame && e.blended_on_black == blended && e.quality == quality &&
        e.copy->width == w && e.copy->height == h) {
      e.used = clock_;
      return e.copy;
    }
  make_room(area);
  Ref<C_Bitmap> copy = C_Bitmap::create(w, h, 24);
  if (copy->width != w || copy->height != h) return Ref<C_Bitmap>();
  Ref<C_Canvas> c = copy->canvas();
  c->units = units_measure_graphics::PIXELS;
  c->quality = quality;
  if (part.w > 0 && part.h > 0)
    c->copy_rect(rect{0, 0, double(w), double(h)}, part, picture->canvas());
  else
    picture->stretch_draw(c, rect{0, 0, double(w), double(h)});
  entries_.push_back(Entry{owner.is_none() ? Weak<Brek_object>(picture) : Weak<Brek_object>(owner),
                           Weak<C_Bitmap>(picture), picture->width, picture->height, part, frame, blended, quality,
                           copy, clock_});
  return copy;
}

bool Thumbnail_cache::device_size(const Ref<C_Canvas>& canvas, const rect& r, int64_t& w, int64_t& h) {
  if (canvas.is_none()) return false;
  const Native_bitmap* surface = canvas->native_surface();
  if (!surface || surface->printer != 0 || surface->xform[0] != 1 || surface->xform[1] != 0 ||
      surface->xform[2] != 0 || surface->xform[3] != 1)
    return false;
  // The device pixels stretch_draw would cover.
  auto px = [&](double v) { return C_Canvas::convert_units(v, canvas->units, units_measure_graphics::PIXELS); };
  const int64_t x0 = Pixel_math::round_even(px(r.x)), y0 = Pixel_math::round_even(px(r.y));
  w = Pixel_math::round_even(px(r.x) + px(r.w)) - x0;
  h = Pixel_math::round_even(px(r.y) + px(r.h)) - y0;
  return true;
}

bool Thumbnail_cache::draw_stretched(const Ref<C_Canvas>& canvas, const rect& r, const Ref<C_Bitmap>& picture,
                                     int64_t frame, bool over_black, const Ref<Brek_object>& owner,
                                     const rect& part) {
  int64_t w = 0, h = 0;
  if (picture.is_none() || !device_size(canvas, r, w, h)) return false;
  Ref<C_Bitmap> kept = at_size(picture, w, h, canvas->quality, frame, over_black, owner, part);
  if (kept.is_none()) return false;
  kept->draw_at(canvas, point{r.x, r.y});
  return true;
}

bool Thumbnail_cache::keep_only_the_copy(const Ref<C_Canvas>& canvas, const rect& r, const Ref<C_Image>& image,
                                         bool over_black) {
  int64_t w = 0, h = 0;
  if ((image->picture.is_none() && image->animation.is_none()) ||
      !Image_file_name::names_a_file(image->file_name) || !device_size(canvas, r, w, h) ||
      image->width * image->height < 4 * w * h || kept_for(image.get(), w, h, canvas->quality, over_black).is_none())
    return false;
  image->release_whole();
  return true;
}

Ref<C_Bitmap> Thumbnail_cache::kept_for(const Brek_object* owner, int64_t w, int64_t h,
                                        quality_drawing_lines_shapes quality, bool over_black) const {
  const Entry* best = nullptr;
  for (const Entry& e : entries_)
    if (e.owner.get() == owner && !owner->is_none() && e.quality == quality && (over_black || !e.blended_on_black) &&
        std::llabs(e.copy->width - w) <= 1 && std::llabs(e.copy->height - h) <= 1 && (!best || e.used > best->used))
      best = &e;
  return best ? best->copy : Ref<C_Bitmap>();
}

bool Thumbnail_cache::draw_kept(const Ref<C_Canvas>& canvas, const rect& r, const Brek_object* owner,
                                bool over_black) {
  int64_t w = 0, h = 0;
  if (!owner || owner->is_none() || !device_size(canvas, r, w, h)) return false;
  Ref<C_Bitmap> kept = kept_for(owner, w, h, canvas->quality, over_black);
  if (kept.is_none()) return false;
  for (Entry& e : entries_)
    if (e.copy.get() == kept.get()) e.used = ++clock_;
  if (kept->width == w && kept->height == h)
    kept->draw_at(canvas, point{r.x, r.y});
  else
    kept->stretch_draw(canvas, r);
  return true;
}

bool Thumbnail_cache::keep(const Ref<Brek_object>& owner, const Ref<C_Bitmap>& copy,
                           quality_drawing_lines_shapes quality, bool blended_on_black) {
  if (owner.is_none() || copy.is_none() || !fits(copy->width * copy->height)) return false;
  make_room(copy->width * copy->height);
  entries_.push_back(Entry{Weak<Brek_object>(owner), Weak<C_Bitmap>(), copy->width, copy->height, rect{}, 0,
                           blended_on_black, quality, copy, ++clock_});
  return true;
}

void Thumbnail_cache::forget(const Brek_object* owner) {
  std::erase_if(entries_, [&](const Entry& e) { return e.owner.get() == owner; });
}

size_t Thumbnail_cache::count_for(const Brek_object* owner) const {
  return size_t(std::count_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.owner.get() == owner; }));
}

int64_t Thumbnail_cache::pixels() const {
  int64_t n = 0;
  for (const Entry& e : entries_) n += e.copy->width * e.copy->height;
  return n;
}

void Thumbnail_cache::make_room(int64_t adding) {
  std::erase_if(entries_, [](const Entry& e) { return e.owner.is_none(); });
  int64_t held = pixels();
  while (!entries_.empty() && held + adding > MAX_PIXELS) {
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const Entry& a, const Entry& b) { return a.used < b.used; });
    held -= oldest->copy->width * oldest->copy->height;
    entries_.erase(oldest);
  }
}

}  // namespace brek
