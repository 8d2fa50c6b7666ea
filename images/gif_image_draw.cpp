// Drawing a TGIFImage: its current frame stretched into a rectangle.

#include <span>

#include "baselib/geometry.h"
#include "drawing/bitmap.h"
#include "drawing/canvas.h"
#include "images/gif_writer.h"

namespace brek {

void TGIFImage::draw(const Ref<C_Canvas>& canvas, const rect& r, bool transparent) const {
  Ref<TGIFFrame> f = FrameAt(current_frame);
  if (f.is_none() || f->bitmap.empty() || canvas.is_none()) return;
  const bool masked = transparent && f->transparent_color.has_value();
  // With a transparent colour the frame is drawn through a two-level alpha
  // (0 where that colour stands, else 255): the mask of the frame.
  Ref<C_Bitmap> b = C_Bitmap::create(f->bitmap.width(), f->bitmap.height(), masked ? 32 : 24);
  Pixels* p = b->pixels();
  if (!p || p->width() != f->bitmap.width() || p->height() != f->bitmap.height()) return;
  *p = f->bitmap;
  if (masked) {
    const uint32_t clear = Colors::to_pixel(*f->transparent_color) & 0xFFFFFFu;
    for (uint32_t& w : std::span<uint32_t>(p->words(), size_t(p->width()) * size_t(p->height())))
      w = (w & 0xFFFFFFu) == clear ? 0 : (w | 0xFF000000u);
  }
  b->stretch_draw(canvas, r);
}

}  // namespace brek
