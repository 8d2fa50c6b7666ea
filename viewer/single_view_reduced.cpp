// The single view's first paint of a large JPEG: a picture decoded at 1/2,
// 1/4 or 1/8 is enough for a fitted view and costs a fraction of the full
// decode in time and memory. Zoom, turns, cuts, copies, saves and prints
// take the whole picture through load_whole.
#include "baselib/mathematics.h"
#include "viewer/collage_viewer.h"

namespace brek {

bool C_Collage_viewer::unloaded_jpeg_as_filed(const Ref<C_Image>& image) const {
  if (image->is_none() || !image->picture.is_none() || !image->animation.is_none() || image->load_failed)
    return false;
  const std::string e = image->extension();
  if (e != ".jpg" && e != ".jpeg") return false;
  if (!Mathematics::approx_equal(scale, 1.0)) return false;
  // The orientation is made from the full picture.
  if (image->quarter_turns != image->applied_turns || image->flip_x != image->applied_flip_x ||
      image->flip_y != image->applied_flip_y || image->inverse != image->applied_inverse)
    return false;
  return image->width > 0 && image->height > 0;
}

Ref<C_Bitmap> C_Collage_viewer::reduced_for_fit(const Ref<C_Image>& image, Single_view::Input& in) {
  if (!unloaded_jpeg_as_filed(image)) return Ref<C_Bitmap>();
  Single_view::Input full = in;
  full.pic_w = double(image->width);
  full.pic_h = double(image->height);
  const Single_view::Placement pl = Single_view::place(full);
  if (!pl.fitted || pl.r.w < 1 || pl.r.h < 1 || double(image->width / 2) < pl.r.w ||
      double(image->height / 2) < pl.r.h)
    return Ref<C_Bitmap>();
  image->load(pl.r.w, pl.r.h);
  Ref<C_Bitmap> r = image->reduced;
  if (!image->picture.is_none() || r.is_none() || double(r->width) < pl.r.w || double(r->height) < pl.r.h)
    return Ref<C_Bitmap>();
  in = full;
  return r;
}

void C_Collage_viewer::load_for_showing(const Ref<C_Image>& image) {
  const std::string e = image->extension();
  if (e == ".jpg" || e == ".jpeg") return;
  // Its size from the header tells whether a worker reads it.
  image->read_header_keeping_display(1.0, 1.0);
  if (!cell_decodes.takes(image, 1, 1)) load_whole(image);
}

}  // namespace brek
