#pragma once
// Thumbnails kept at the size of their cells. A scroll repaints the
// collage strip by strip, so a cell coming into view is drawn several
// times; each picture is box-filtered to its cell once and then drawn
// unscaled. The pictures kept for (reduced and full pictures of image
// files) are never changed in place: a new picture is a new bitmap. The
// one exception is an animation's composed picture, whose pixels change
// with its frame: its copies are kept per frame.
//
// A copy may stand for an owner (the image whose picture it shows): it
// then outlives the picture, so a view that lets a huge picture go once
// its copy is made still draws the cell, and a copy reduced on a worker
// thread is kept the same way.

#include <cstdint>
#include <vector>

#include "baselib/geometry.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "images/image.h"

namespace brek {

class Thumbnail_cache {
 public:
  // What the copies may hold together, in pixels (64 MB): the cells of a
  // screen of 3840 x 2160 twice over, so that the copies of cells in view,
  // which may be all that is kept of their pictures, never push each other
  // out.
  static constexpr int64_t MAX_PIXELS = int64_t(16) << 20;

  // The picture (showing `frame` of its animation, 0 for a still one)
  // stretched to w x h pixels with the given quality, kept from before or
  // made now; None when it is not kept (no area, too large, transparent
  // unless `over_black`: then it is kept as it shows on opaque black).
  // A copy takes at most a quarter of the bound, or all of it for a
  // picture four times its size, which costs more to stretch again than
  // the copy holds. With an `owner` the copy serves it also once the
  // picture is gone (kept_for). With a `part` (picture pixels, not empty)
  // the copy is that part copied to w x h by nearest pixels, as a cell
  // crops a picture of other proportions.
  Ref<C_Bitmap> at_size(const Ref<C_Bitmap>& picture, int64_t w, int64_t h, quality_drawing_lines_shapes quality,
                        int64_t frame = 0, bool over_black = false, const Ref<Brek_object>& owner = {},
                        const rect& part = rect{});
  // Draws the picture stretched into r (canvas units) as stretch_draw
  // would, from a copy kept at the device pixels that covers; false,
  // drawing nothing, where no copy serves (a printer's or a turned canvas,
  // a picture not kept).
  bool draw_stretched(const Ref<C_Canvas>& canvas, const rect& r, const Ref<C_Bitmap>& picture,
                      int64_t frame = 0, bool over_black = false, const Ref<Brek_object>& owner = {},
                      const rect& part = rect{});
  // The owner's copy of w x h pixels (or one pixel more or less on either
  // axis: a cell's size in pixels follows its place), whichever frame or
  // picture it was made from; None when none is kept.
  Ref<C_Bitmap> kept_for(const Brek_object* owner, int64_t w, int64_t h, quality_drawing_lines_shapes quality,
                         bool over_black) const;
  // Draws the owner's copy into r as draw_stretched would; false, drawing
  // nothing, where none serves.
  bool draw_kept(const Ref<C_Canvas>& canvas, const rect& r, const Brek_object* owner, bool over_black);
  // Keeps a copy made elsewhere (reduced on a worker thread) as the
  // owner's, at its own size; false when it is not kept (see at_size).
  // `blended_on_black`: the copy is a transparent picture as it shows on
  // black, which only views drawn over black may show.
  bool keep(const Ref<Brek_object>& owner, const Ref<C_Bitmap>& copy, quality_drawing_lines_shapes quality,
            bool blended_on_black);
  // The device pixels a copy drawn into r (canvas units) covers; false for
  // a canvas no copy serves (a printer's, a turned one).
  static bool device_size(const Ref<C_Canvas>& canvas, const rect& r, int64_t& w, int64_t& h);
  // A view keeps what it draws: once the image's copy drawn into r (as
  // draw_kept finds it) is kept, a whole picture (or animation) of four
  // times the copy or more goes, to be read again only if the copy does. A
  // pasted or cut picture, which no file gives back, stays. Whether it
  // went.
  bool keep_only_the_copy(const Ref<C_Canvas>& canvas, const rect& r, const Ref<C_Image>& image, bool over_black);
  // Drops the owner's copies: its pictures went, and its copies go with
  // them.
  void forget(const Brek_object* owner);
  // The copies kept for the owner.
  size_t count_for(const Brek_object* owner) const;
  // Pixels held by the copies.
  int64_t pixels() const;
  size_t count() const { return entries_.size(); }
  void clear() { entries_.clear(); }

 private:
  struct Entry {
    Weak<Brek_object> owner;  // the picture itself when none was named
    Weak<C_Bitmap> source;
    int64_t source_w = 0, source_h = 0;
    rect part;
    int64_t frame = 0;
    // A transparent picture blended onto black: serves views drawn over
    // black only (the `over_black` a view asks with).
    bool blended_on_black = false;
    quality_drawing_lines_shapes quality = quality_drawing_lines_shapes::HIGH;
    Ref<C_Bitmap> copy;
    uint64_t used = 0;
  };
  // Whether a copy of w x h may be kept.
  static bool fits(int64_t area) { return area > 0 && area <= MAX_PIXELS; }
  // Drops copies whose owners are gone, then the least recently used ones
  // until `adding` more pixels fit.
  void make_room(int64_t adding);

  std::vector<Entry> entries_;
  uint64_t clock_ = 0;
};

}  // namespace brek
