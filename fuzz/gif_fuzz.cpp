// The GIF reader and the composition of its frames: stepping forward,
// jumping back, single frames and a cache too small for one frame.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/gif.h"

using brek::C_Gif;
using brek::Pixels;
using brek::Ref;

namespace {
void check_screen(const Ref<C_Gif>& gif, const Pixels& p) {
  if (!p.empty() && (p.width() != gif->width() || p.height() != gif->height())) __builtin_trap();
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (brek_fuzz::gif_screen_too_large(data, size)) return 0;
  Ref<C_Gif> gif = C_Gif::read_from_bytes(data, int64_t(size));
  if (gif.is_none()) __builtin_trap();
  int64_t n = gif->frame_count();
  if (n == 0) return 0;
  const int64_t steps = n < 32 ? n : 32;
  for (int64_t i = 0; i < steps; ++i) {
    gif->set_current_frame(i);
    check_screen(gif, gif->render_current_frame());
    (void)gif->frame_delay();
  }
  // A jump back replays from the first frame, with almost no cache.
  uint8_t pick = size ? data[size - 1] : 0;
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
