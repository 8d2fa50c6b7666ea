#include "viewer/thumbnail_cache.h"

#include <algorithm>

namespace brek {

Ref<C_Bitmap> Thumbnail_cache::at_size(const Ref<C_Bitmap>& picture, int64_t w, int64_t h,
                                       quality_drawing_lines_shapes quality) {
  if (picture.is_none() || picture->has_alpha() || w <= 0 || h <= 0 || w * h > MAX_PIXELS / 4)
    return Ref<C_Bitmap>();
  ++clock_;
  for (Entry& e : entries_)
    if (e.source.lock().get() == picture.get() && e.source_w == picture->width && e.source_h == picture->height &&
        e.quality == quality && e.copy->width == w && e.copy->height == h) {
      e.used = clock_;
      return e.copy;
    }
  make_room(w * h);
  Ref<C_Bitmap> copy = C_Bitmap::create(w, h, 24);
  if (copy->width != w || copy->height != h) return Ref<C_Bitmap>();
  Ref<C_Canvas> c = copy->canvas();
  c->units = units_measure_graphics::PIXELS;
  c->quality = quality;
  picture->stretch_draw(c, rect{0, 0, double(w), double(h)});
  entries_.push_back(Entry{Weak<C_Bitmap>(picture), picture->width, picture->height, quality, copy, clock_});
  return copy;
}

int64_t Thumbnail_cache::pixels() const {
  int64_t n = 0;
  for (const Entry& e : entries_) n += e.copy->width * e.copy->height;
  return n;
}

void Thumbnail_cache::make_room(int64_t adding) {
  std::erase_if(entries_, [](const Entry& e) { return e.source.lock().is_none(); });
  int64_t held = pixels();
  while (!entries_.empty() && held + adding > MAX_PIXELS) {
    auto oldest = std::min_element(entries_.begin(), entries_.end(),
                                   [](const Entry& a, const Entry& b) { return a.used < b.used; });
    held -= oldest->copy->width * oldest->copy->height;
    entries_.erase(oldest);
  }
}

}  // namespace brek
