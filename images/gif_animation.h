#pragma once
// A GIF read by the native drawing layer's GIF class (TGIFImage) and kept
// in a bitmap's native part. Its frames are composed on the logical screen
// into the bitmap's colour pixels, so that drawing, copying or saving the
// bitmap shows the frame composed last.
//
// Composition follows the frames' disposal methods: the screen starts
// black; after a frame was shown, "restore to background" fills its
// rectangle black and "restore to previous" puts back what lay under it;
// the other methods leave it. Pixels of a frame's transparent colour leave
// the picture beneath.

#include <cstdint>

#include "drawing/native_bitmap.h"
#include "images/gif_writer.h"

namespace brek {

class Gif_animation : public Native_animation {
 public:
  explicit Gif_animation(Ref<TGIFImage> gif);

  // The colour pixels hold the composed frame: nothing else to show.
  const Pixels* current_picture() const override { return nullptr; }

  const Ref<TGIFImage>& gif() const { return gif_; }
  // The logical screen, or the first frame's size when the file gives an
  // empty screen.
  int64_t width() const { return width_; }
  int64_t height() const { return height_; }
  int64_t frame_count() const { return gif_->FrameCount(); }
  // The current frame's delay in milliseconds.
  int64_t frame_delay() const;
  // Makes `index` the current frame and composes it into the target's
  // colour pixels (an index outside the frames changes nothing). False
  // when the screen is too large for a picture.
  bool show_frame(Native_bitmap& target, int64_t index);

  // The GIF kept in the native bitmap; nullptr when it holds none.
  static Gif_animation* of(const Native_bitmap* native);

 private:
  bool start_over(Native_bitmap& target);
  void draw_frame(Pixels& picture, int64_t n);
  void end_frame(Pixels& picture, int64_t n);

  Ref<TGIFImage> gif_;
  int64_t width_ = 0;
  int64_t height_ = 0;
  int64_t shown_ = -1;  // the frame the colour pixels show
  // What lay under a frame that restores the previous picture.
  Pixels saved_;
  int64_t saved_x_ = 0;
  int64_t saved_y_ = 0;
};

}  // namespace brek
