// The single view's first paint of a large JPEG at its own size shows only
// the part in the window, and the whole picture comes from a worker
// (single_view_picture.cpp); zoom, turns, cuts, copies, saves and prints
// take the whole picture through load_whole.
#include "viewer/collage_viewer.h"

namespace brek {

Ref<C_Bitmap> C_Collage_viewer::part_in_view(const Ref<C_Image>& image, Single_view::Input& in, point& at,
                                             point& shift) {
  shift = point{};
  if (!unloaded_jpeg_as_filed(image)) {
    picture_.drop_part();
    return Ref<C_Bitmap>();
  }
  Single_view::Input full = in;
  full.pic_w = double(image->width);
  full.pic_h = double(image->height);
  Ref<C_Bitmap> part = picture_.part_in_view(image, full, at, shift);
  if (!part.is_none()) in = full;
  return part;
}

void C_Collage_viewer::load_whole(const Ref<C_Image>& image) {
  if (is_none())
    image->load_native();
  else
    picture_.load_whole(image);
}

void C_Collage_viewer::whole_picture_tick() {
  if (is_none()) return;
  const Ref<C_Image> shown = single_mode ? current_image() : Ref<C_Image>();
  switch (picture_.tick(shown)) {
    case Single_view_picture::tick_result::TAKEN:
      // A view that lagged behind the pointer catches up.
      repaint();
      break;
    case Single_view_picture::tick_result::FILE_CHANGED: {
      // Read anew at once, as the listing would: its header, its caption,
      // its part in view.
      const int64_t i = files.index_of(shown);
      if (i >= 0) renew_entry(i);
      break;
    }
    case Single_view_picture::tick_result::NOTHING:
      break;
  }
}

}  // namespace brek
