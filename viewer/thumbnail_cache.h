#pragma once
// Thumbnails kept at the size of their cells. A scroll repaints the
// collage strip by strip, so a cell coming into view is drawn several
// times; each picture is box-filtered to its cell once and then drawn
// unscaled. The pictures kept for (reduced and full pictures of image
// files) are never changed in place: a new picture is a new bitmap.

#include <cstdint>
#include <vector>

#include "drawing/bitmap.h"
#include "drawing/canvas.h"

namespace brek {

class Thumbnail_cache {
 public:
  // What the copies may hold together, in pixels (16 MB).
  static constexpr int64_t MAX_PIXELS = int64_t(4) << 20;

  // The picture stretched to w x h pixels with the given quality, kept
  // from before or made now; None when it is not kept (no area, too large,
  // transparent).
  Ref<C_Bitmap> at_size(const Ref<C_Bitmap>& picture, int64_t w, int64_t h, quality_drawing_lines_shapes quality);
  // Pixels held by the copies.
  int64_t pixels() const;
  size_t count() const { return entries_.size(); }
  void clear() { entries_.clear(); }

 private:
  struct Entry {
    Weak<C_Bitmap> source;
    int64_t source_w = 0, source_h = 0;
    quality_drawing_lines_shapes quality = quality_drawing_lines_shapes::HIGH;
    Ref<C_Bitmap> copy;
    uint64_t used = 0;
  };
  // Drops copies of pictures that are gone, then the least recently used
  // ones until `adding` more pixels fit.
  void make_room(int64_t adding);

  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};

}  // namespace brek
