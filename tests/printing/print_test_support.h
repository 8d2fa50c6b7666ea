#pragma once
// Shared pieces of the printing tests: solid bitmaps and offscreen pages.

#include <cstdint>

#include "drawing/bitmap.h"
#include "runtime/object.h"

namespace print_test {

inline constexpr uint32_t WHITE = 0xFFFFFFFFu;
inline constexpr uint32_t BLUE = 0xFF0000FFu;  // as read from B, G, R, A bytes
inline constexpr uint32_t RED = 0xFFFF0000u;
inline constexpr uint32_t GREEN = 0xFF00FF00u;

// A 24-bit bitmap of one colour (0xRRGGBB).
brek::Ref<brek::C_Bitmap> solid(int w, int h, uint32_t rgb);

// An offscreen page drawn on as a printer page; freed with the object.
class Page {
 public:
  Page(int w, int h, int dpi);
  ~Page();
  Page(const Page&) = delete;
  Page& operator=(const Page&) = delete;
  int64_t handle() const { return handle_; }
  uint32_t at(int x, int y) const;
  // Whether any pixel of the box (inclusive) has the colour.
  bool any(int x0, int y0, int x1, int y1, uint32_t colour) const;

 private:
  int64_t handle_ = 0;
};

}  // namespace print_test
