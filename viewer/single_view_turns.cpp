// Turns, mirrors and inversions of the picture shown alone. The oriented
// copy of a picture at the size limit takes seconds: the command that
// asks for it (a key, a menu item, a step onto a picture that wants one,
// the worker's picture coming) makes it as long work, where the
// long-operation window can show, rather than the paint, inside which
// the windows' messages must not run.
#include "runtime/exceptions.h"
#include "viewer/collage_viewer.h"

namespace brek {

namespace {

bool as_stored(const C_Image& image) {
  return image.quarter_turns == image.applied_turns && image.flip_x == image.applied_flip_x &&
         image.flip_y == image.applied_flip_y && image.inverse == image.applied_inverse;
}

}  // namespace

void C_Collage_viewer::orient(const Ref<C_Image>& image, const std::function<void(C_Image&)>& change) {
  if (is_none() || image.is_none()) return;
  if (change) change(*image);
  repaint();
  if (!single_mode || image.get() != current_image().get() || as_stored(*image)) return;
  try {
    if (image->picture.is_none() && image->animation.is_none()) {
      // A picture a worker reads for the view is turned when it came
      // (whole_picture_tick).
      if (image->load_failed || (cell_decodes.takes(image, 1, 1) && !picture_.decodes_here(image))) return;
      // Renewed meanwhile: the entry that replaced it is painted.
      if (load_whole(image).get() != image.get()) return;
    }
    oriented_now(image);
  } catch (const Stop_exception&) {
    // Cancelled: as stored, the picture itself is shown, no copy made.
    image->quarter_turns = image->applied_turns;
    image->flip_x = image->applied_flip_x;
    image->flip_y = image->applied_flip_y;
    image->inverse = image->applied_inverse;
    throw;
  }
}

Ref<C_Bitmap> C_Collage_viewer::oriented_now(const Ref<C_Image>& image) {
  struct Orienting {
    C_Collage_viewer& v;
    ~Orienting() {
      v.orienting_ = false;
      v.repaint();
    }
  } orienting{*this};
  orienting_ = true;
  return oriented_bitmap(image, true);
}

}  // namespace brek
