#include "images/picture32.h"

#include <algorithm>

namespace brek {

bool Picture32::allocate(int64_t w, int64_t h, uint32_t value) {
  if (w <= 0 || h <= 0 || w > MAX_PIXELS || h > MAX_PIXELS || w * h > MAX_PIXELS) {
    clear();
    return false;
  }
  width = w;
  height = h;
  pixels.assign(static_cast<size_t>(w * h), value);
  return true;
}

void Picture32::clear() {
  width = height = 0;
  pixels.clear();
  pixels.shrink_to_fit();
}

uint32_t Picture32::pixel(int64_t x, int64_t y) const {
  if (x < 0 || y < 0 || x >= width || y >= height || empty()) return 0;
  return pixels[static_cast<size_t>(y * width + x)];
}

bool clip_rect(int64_t& x, int64_t& y, int64_t& w, int64_t& h, int64_t limit_w, int64_t limit_h) {
  int64_t x0 = std::max<int64_t>(x, 0), y0 = std::max<int64_t>(y, 0);
  int64_t x1 = std::min<int64_t>(x + w, limit_w), y1 = std::min<int64_t>(y + h, limit_h);
  if (w <= 0 || h <= 0 || x1 <= x0 || y1 <= y0) return false;
  x = x0;
  y = y0;
  w = x1 - x0;
  h = y1 - y0;
  return true;
}

void Picture32::fill_rect(int64_t x, int64_t y, int64_t w, int64_t h, uint32_t value) {
  if (empty() || !clip_rect(x, y, w, h, width, height)) return;
  for (int64_t r = y; r < y + h; ++r) std::fill_n(row(r) + x, w, value);
}

}  // namespace brek
