// The single view of a GIF or BMP too large to read on the window's thread
// (one the cells' worker reads): it is never read where it is shown. Fitted
// it needs only its fitted size, which the cells' worker reads row by row;
// at its own size, zoomed or turned, the whole picture comes from a worker
// of its own, the fitted copy standing in meanwhile where one is kept (or,
// with no thread to be had, from the paint's own decode, once). The
// window answers at once, and the picture shows once it came.
#include "baselib/mathematics.h"
#include "runtime/strings.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

// The fitted copy of the image drawn at `in`'s placement, if one is kept;
// `w` x `h` the size it is drawn at.
Ref<C_Bitmap> kept_copy(C_Collage_viewer& v, const Ref<C_Image>& image, const Single_view::Input& in, int64_t& w,
                        int64_t& h) {
  const Single_view::Placement pl = Single_view::place(in);
  w = Brek_runtime::real_to_int(pl.r.w);
  h = Brek_runtime::real_to_int(pl.r.h);
  if (!pl.fitted || w <= 0 || h <= 0) return Ref<C_Bitmap>();
  return v.collage->thumbnails.kept_for(image.get(), w, h, C_Collage_viewer::CELL_QUALITY, true);
}

}  // namespace

Ref<C_Bitmap> C_Collage_viewer::off_thread_picture(const Ref<C_Image>& image, Single_view::Input& in, bool& coming) {
  coming = false;
  // No worker to be had: load_whole reads it here.
  if (!cell_decodes.takes(image, 1, 1) || picture_.decodes_here(image)) return Ref<C_Bitmap>();
  Single_view::Input full = in;
  full.pic_w = double(image->width);
  full.pic_h = double(image->height);
  const bool as_filed = image->quarter_turns == image->applied_turns && image->flip_x == image->applied_flip_x &&
                        image->flip_y == image->applied_flip_y && image->inverse == image->applied_inverse;
  int64_t w = 0, h = 0;
  if (as_filed && Mathematics::approx_equal(scale, 1.0) && Single_view::place(full).fitted) {
    Ref<C_Bitmap> copy = kept_copy(*this, image, full, w, h);
    if (copy.is_none() && cell_decodes.takes(image, w, h)) cell_decodes.want(image, w, h, false);
    coming = copy.is_none();
    if (!coming) in = full;
    return copy;
  }
  // The whole picture is needed: meanwhile its fitted copy, where kept.
  picture_.ask_whole(image);
  Single_view::Input fitted = full;
  fitted.pointer = point{-1, -1};
  Ref<C_Bitmap> copy = as_filed ? kept_copy(*this, image, fitted, w, h) : Ref<C_Bitmap>();
  coming = copy.is_none();
  if (!coming) in = fitted;
  return copy;
}

}  // namespace brek
