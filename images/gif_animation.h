#pragma once
// A GIF kept beside a bitmap's colour pixels (the native part's animation):
// drawing the bitmap shows the GIF's current frame as composed by C_Gif.

#include <cstdint>
#include <utility>

#include "drawing/native_bitmap.h"
#include "images/gif.h"

namespace brek {

class Gif_animation : public Native_animation {
 public:
  explicit Gif_animation(Ref<C_Gif> gif) : gif_(std::move(gif)) {}

  // The composed current frame; nullptr while it is empty, so that the
  // colour pixels are drawn instead.
  const Pixels* current_picture() const override;

  const Ref<C_Gif>& gif() const { return gif_; }
  int64_t frame_count() const { return gif_->frame_count(); }
  // Milliseconds.
  int64_t frame_delay() const { return gif_->frame_delay(); }
  // Makes `index` the current frame (ignored outside the frames) and
  // composes it.
  void show_frame(int64_t index);

  // The GIF animation attached to the native bitmap; nullptr when it holds
  // none.
  static Gif_animation* of(const Native_bitmap* native);

 private:
  Ref<C_Gif> gif_;
};

}  // namespace brek
