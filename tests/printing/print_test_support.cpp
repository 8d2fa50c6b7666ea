#include "tests/printing/print_test_support.h"

#include "drawing/canvas.h"
#include "platform/painter.h"

namespace print_test {

using namespace brek;

Ref<C_Bitmap> solid(int w, int h, uint32_t rgb) {
  Ref<C_Bitmap> b = C_Bitmap::create(w, h, 24);
  auto c = b->canvas();
  c->brush_color = Colors::from_bits(0xFF000000u | (rgb >> 16 & 0xFF) | (rgb & 0xFF00) | (rgb & 0xFF) << 16);
  c->clear();
  return b;
}

Page::Page(int w, int h, int dpi) { handle_ = brek_platform::page_create(w, h, dpi, dpi); }
Page::~Page() { brek_platform::page_free(handle_); }

uint32_t Page::at(int x, int y) const {
  brek_platform::Raster r = brek_platform::page_raster(handle_);
  if (r.empty() || x < 0 || y < 0 || x >= r.width || y >= r.height) return 0;
  return reinterpret_cast<const uint32_t*>(r.bits + size_t(y) * size_t(r.stride))[x];
}

bool Page::any(int x0, int y0, int x1, int y1, uint32_t colour) const {
  for (int y = y0; y <= y1; ++y)
    for (int x = x0; x <= x1; ++x)
      if (at(x, y) == colour) return true;
  return false;
}

}  // namespace print_test
