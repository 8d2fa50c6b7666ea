// The GIF reader and the composition of its frames: stepping forward,
// jumping back, single frames and a cache too small for one frame; and the
// first frame as a cell shows it, composed row by row into a box filter.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/gif.h"
#include "images/picture_fit.h"

using brek::C_Gif;
using brek::Picture_shrink;
using brek::Pixels;
using brek::Ref;
namespace Picture_fit = brek::Picture_fit;

namespace {
void check_screen(const Ref<C_Gif>& gif, const Pixels& p) {
  if (!p.empty() && (p.width() != gif->width() || p.height() != gif->height())) __builtin_trap();
}

// The first frame composed row by row and averaged down gives the pixels
// of the screen composed whole (`screen`, empty when it is no picture) and
// averaged down the same way, and fails exactly when that is empty.
void check_fitted(const uint8_t* data, size_t size, const Pixels& screen, uint8_t pick) {
  Ref<C_Gif> gif = C_Gif::read_from_bytes(data, int64_t(size), false);
  // A cell's size, or a few pixels (many screen pixels behind each).
  const int64_t want_w = pick & 2 ? 3 : 37, want_h = pick & 2 ? 2 : 23;
  const int w = int(std::min(want_w, gif->width())), h = int(std::min(want_h, gif->height()));
  if (w <= 0 || h <= 0) return;
  const Picture_fit::Part part = Picture_fit::part(gif->width(), gif->height(), w, h, pick & 4);
  Picture_shrink into(part.x0, part.y0, part.x1, part.y1, w, h);
  if (!into.ok()) __builtin_trap();
  const bool composed = gif->compose_first_frame(into);
  const Pixels got = composed ? into.take() : Pixels();
  if (composed && (got.width() != w || got.height() != h || into.had_alpha())) __builtin_trap();
  if (screen.empty()) {
    if (composed) __builtin_trap();
    return;
  }
  bool alpha = false;
  const Pixels want = Picture_fit::shrink(screen, part, w, h, &alpha);
  if (want.empty() || !composed || alpha) __builtin_trap();
  for (int y = 0; y < h; ++y)
    if (!std::equal(got.row(y), got.row(y) + w, want.row(y))) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (brek_fuzz::gif_screen_too_large(data, size)) return 0;
  Ref<C_Gif> gif = C_Gif::read_from_bytes(data, int64_t(size));
  if (gif.is_none()) __builtin_trap();
  uint8_t pick = size ? data[size - 1] : 0;
  check_fitted(data, size, gif->frame_count() ? gif->render_current_frame() : Pixels(), pick);
  int64_t n = gif->frame_count();
  if (n == 0) return 0;
  const int64_t steps = n < 32 ? n : 32;
  for (int64_t i = 0; i < steps; ++i) {
    gif->set_current_frame(i);
    check_screen(gif, gif->render_current_frame());
    (void)gif->frame_delay();
  }
  // A jump back replays from the first frame, with almost no cache.
  gif->set_frame_cache_limit(pick & 1 ? 0 : 4096);
  gif->set_current_frame(pick % steps);
  check_screen(gif, gif->render_current_frame());
  for (int64_t i = 0; i < steps && i < 4; ++i) {
    const auto& fr = gif->frames[size_t((pick + i) % n)];
    if (fr.width * fr.height > brek_fuzz::FUZZ_MAX_PIXELS) continue;  // a picture that large is slow, not wrong
    Pixels f = gif->decode_frame((pick + i) % n);
    if (!f.empty() && (f.width() != fr.width || f.height() != fr.height)) __builtin_trap();
  }
  gif->set_current_frame((n < 256 ? n : 256) - 1);
  check_screen(gif, gif->render_current_frame());
  return 0;
}
