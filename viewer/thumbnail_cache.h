#pragma once
// Thumbnails kept at the size of their cells. A scroll repaints the
// collage strip by strip, so a cell coming into view is drawn several
// times; each picture is box-filtered to its cell once and then drawn
// unscaled. The pictures kept for (reduced and full pictures of image
// files) are never changed in place: a new picture is a new bitmap. The
// one exception is an animation's composed picture, whose pixels change
// with its frame: its copies are kept per frame.

#include <cstdint>
#include <vector>

#include "baselib/geometry.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"

namespace brek {

class Thumbnail_cache {
 public:
  // What the copies may hold together, in pixels (16 MB).
  static constexpr int64_t MAX_PIXELS = int64_t(4) << 20;

  // The picture (showing `frame` of its animation, 0 for a still one)
  // stretched to w x h pixels with the given quality, kept from before or
  // made now; None when it is not kept (no area, too large, transparent
  // unless `over_black`: then it is kept as it shows on opaque black).
  // A copy takes at most a quarter of the bound, or all of it for a
  // picture four times its size, which costs more to stretch again than
  // the copy holds.
  Ref<C_Bitmap> at_size(const Ref<C_Bitmap>& picture, int64_t w, int64_t h, quality_drawing_lines_shapes quality,
                        int64_t frame = 0, bool over_black = false);
  // Draws the picture stretched into r (canvas units) as stretch_draw
  // would, from a copy kept at the device pixels that covers; false,
  // drawing nothing, where no copy serves (a printer's or a turned canvas,
  // a picture not kept).
  bool draw_stretched(const Ref<C_Canvas>& canvas, const rect& r, const Ref<C_Bitmap>& picture,
                      int64_t frame = 0, bool over_black = false);
  // Pixels held by the copies.
  int64_t pixels() const;
  size_t count() const { return entries_.size(); }
  void clear() { entries_.clear(); }

 private:
  struct Entry {
    Weak<C_Bitmap> source;
    int64_t source_w = 0, source_h = 0;
    int64_t frame = 0;
    bool over_black = false;
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
