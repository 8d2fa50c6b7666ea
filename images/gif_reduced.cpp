// A GIF's first frame composed row by row for a picture made small
// (Picture_shrink), without the logical screen in 32 bits.
#include <algorithm>
#include <vector>

#include "images/gif.h"
#include "images/picture_fit.h"

namespace brek {

bool C_Gif::compose_first_frame(Picture_shrink& into, const std::function<bool()>& go_on) {
  if (is_none() || frames.empty() || !Pixels::size_allowed(screen_width, screen_height)) return false;
  const St_gif_frame__C_Gif& f = frames[0];
  const int64_t shown = visible_rows(f);
  const Frame_rows* rows = shown > 0 ? frame_rows(0, false, go_on) : nullptr;
  if (shown > 0 && !rows) return false;
  uint32_t table[256];
  color_table(f, table, 255);
  const uint32_t back = pixel_of(background_color, 255);
  if (f.transparent_index >= 0 && f.transparent_index < 256) table[f.transparent_index] = back;
  // The columns of the screen the frame covers.
  const int64_t x0 = std::clamp<int64_t>(f.left, 0, screen_width);
  const int64_t x1 = std::clamp<int64_t>(f.left + f.width, 0, screen_width);
  std::vector<uint32_t> line(size_t(screen_width), back);
  for (int64_t y = into.first_row(); y < into.end_row(); ++y) {
    if ((y & 255) == 0 && go_on && !go_on()) return false;
    if (!into.wants(y)) {
      into.add_row(y, nullptr);
      continue;
    }
    const int64_t r = y - f.top;
    const bool covered = rows && r >= 0 && r < rows->held && x1 > x0;
    if (covered) {
      const uint8_t* src = rows->rows.data() + r * rows->stride;
      for (int64_t x = x0; x < x1; ++x) {
        line[size_t(x)] = table[index_at(src, x - f.left, rows->bits)];
      }
    }
    into.add_row(y, line.data());
    if (covered) std::fill(line.begin() + x0, line.begin() + x1, back);
  }
  // A frame off the screen was never decoded: no rows to let go of.
  if (rows) release_rows(0);
  return true;
}

}  // namespace brek
