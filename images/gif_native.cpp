// The native reading path of C_Gif: the file read by the native drawing
// layer's GIF class into a bitmap that carries it. The C_Gif then has no
// frames of its own; the carrier's colour pixels hold the composed frame.
#include "drawing/bitmap.h"
#include "images/gif.h"
#include "images/gif_animation.h"
#include "images/native_image_files.h"

namespace brek {

bool C_Gif::read_native(const uint8_t* data, int64_t size) {
  if (is_none()) return false;
  Ref<C_Bitmap> carrier = C_Bitmap::create(1, 1, 24);
  if (carrier.is_none() || !carrier->native) return false;
  if (!Brek_drawing::load_gif(data, size, carrier->native.get(), &refusal_)) return false;
  composed_ = carrier;
  screen_width = carrier->width;
  screen_height = carrier->height;
  current_frame = 0;
  last_rendered = 0;
  return true;
}

Gif_animation* C_Gif::native_gif() const {
  if (!frames.empty() || composed_.is_none()) return nullptr;
  return Gif_animation::of(composed_->native.get());
}

int64_t C_Gif::native_frame_count() const {
  const Gif_animation* a = native_gif();
  return a ? a->frame_count() : 0;
}

const Pixels* C_Gif::native_picture() {
  Gif_animation* a = native_gif();
  if (!a || !a->show_frame(*composed_->native, current_frame)) return nullptr;
  last_rendered = current_frame;
  return &composed_->native->colour;
}

}  // namespace brek
