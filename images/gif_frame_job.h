#pragma once
// C_Gif_frame_job: one frame of an animation too large for the window's
// thread, composed on a worker (C_Gif::step_frame starts it, and takes
// what it made once it is finished): the picture showing frame n, made
// over a copy of the picture showing frame n - 1 as composing it on the
// window's thread would leave it, or from the first frame.
//
// Plain data but for `before`, which points into the picture the window
// shows: its owner never changes or frees that while the worker may read
// it, and hands it over (kept_before) when it lets go of it meanwhile.

#include <cstdint>
#include <memory>
#include <vector>

#include "baselib/thread.h"
#include "drawing/pixels.h"

namespace brek {

class C_Gif_frame_job : public C_Thread {
  BREK_CLASS(C_Gif_frame_job)
 public:
  // The GIF file's bytes, shared by the animation's workers.
  std::shared_ptr<const std::vector<uint8_t>> bytes;
  // The frame composed.
  int64_t frame = 0;
  // The pixels of the picture showing frame - 1 (the screen's size, rows
  // top-down), whether that frame was drawn, and the part under it that
  // its disposal restores (when `under_held`); no `before`: composed from
  // the first frame.
  const uint32_t* before = nullptr;
  bool before_drawn = false;
  // In: the part under frame - 1; out: the part under `frame`.
  Pixels under;
  int64_t under_x = 0, under_y = 0;
  bool under_held = false;
  // In: memory for the picture (any size; empty for none); out, once
  // finished: the picture showing the frame. `composed`: it holds that
  // picture (false when nothing of the frames shows, no memory was to be
  // had, or the worker was stopped).
  Pixels picture;
  bool composed = false;
  bool drawn = false;  // the frame decoded and was drawn
  bool short_of_memory = false;
  // The picture `before` points into, handed over by an owner that lets go
  // of it while the worker may still read it.
  Pixels kept_before;

  void run() override;
  void destroy_hook() override;
};

}  // namespace brek
