#include <cstring>

#include "drawing/bitmap.h"

namespace brek {

Ref<C_Bitmap_direct> C_Bitmap_direct::new_bitmap(int64_t width, int64_t height, int64_t bits) {
  auto b = make<C_Bitmap_direct>();
  int64_t depth = (bits == 1 || bits == 4 || bits == 8 || bits == 15 || bits == 16 || bits == 24) ? bits : 32;
  b->bits = depth;
  b->pixel_bits = depth;
  // The pixels were made for the default depth: make them again for this one.
  b->make_native(depth != 32);
  b->set_size(width, height);
  return b;
}

void C_Bitmap_direct::lock(bool copy) {
  if (is_none() || direct) return;
  lock_rows(copy, 0, height);
}

void C_Bitmap_direct::lock_rows(bool copy, int64_t first, int64_t count) {
  if (is_none() || direct || !native) return;
  Pixels& px = native->colour;
  int64_t h = px.height();
  if (first < 0 || first >= h) return;
  if (count <= 0) count = h - first;
  if (count > h - first) return;  // the band leaves the bitmap
  // Rows are lent in the two depths the pixels hold without conversion
  // loss: 32 bits as they are, 24 bits as three bytes a pixel. Other depths
  // have no row layout of their own here and lock nothing.
  int bpp = pixel_bits == 32 ? 4 : (pixel_bits == 24 ? 3 : 0);
  if (bpp == 0) return;
  int w = px.width();
  row_bytes = int64_t(w) * bpp;
  first_row = first;
  row_count = count;
  native->first_locked_row = first;
  native->locked_rows = count;
  if (bpp == 4 && !native->alpha) {
    // The rows lie top-down without gaps: lend the pixels themselves.
    pixels_buffer = std::span<uint8_t>(px.bytes() + first * row_bytes, size_t(count * row_bytes));
  } else {
    std::vector<uint8_t>& buf = native->direct_buffer;
    size_t size = size_t(row_bytes * count);
    if (buf.size() != size) buf.assign(size, 0);
    pixels_buffer = std::span<uint8_t>(buf.data(), size);
    if (copy) {
      for (int64_t r = 0; r < count; ++r) {
        const uint32_t* s = px.row(int(first + r));
        uint8_t* d = buf.data() + r * row_bytes;
        if (bpp == 4) {
          std::memcpy(d, s, size_t(row_bytes));
          const uint32_t* a = native->alpha->row(int(first + r));
          for (int x = 0; x < w; ++x) d[4 * x + 3] = Pixels::red(a[x]);
        } else {
          for (int x = 0; x < w; ++x) {
            d[3 * x] = Pixels::blue(s[x]);
            d[3 * x + 1] = Pixels::green(s[x]);
            d[3 * x + 2] = Pixels::red(s[x]);
          }
        }
      }
    }
  }
  if (pixels_buffer.empty()) return;
  direct = true;
  // The canvas is set aside while the rows are lent.
  saved_canvas = canvas_obj;
  canvas_obj.reset();
}

void C_Bitmap_direct::unlock(bool write_back) {
  if (is_none() || !direct) return;
  Pixels& px = native->colour;
  bool borrowed = !pixels_buffer.empty() && pixels_buffer.data() != native->direct_buffer.data();
  if (write_back && !borrowed && row_bytes > 0) {
    int w = px.width();
    for (int64_t r = 0; r < row_count && first_row + r < px.height(); ++r) {
      uint32_t* d = px.row(int(first_row + r));
      const uint8_t* s = pixels_buffer.data() + r * row_bytes;
      if (row_bytes == int64_t(w) * 4) {
        std::memcpy(d, s, size_t(row_bytes));
        if (native->alpha && native->alpha->height() > first_row + r) {
          uint32_t* a = native->alpha->row(int(first_row + r));
          for (int x = 0; x < w && x < native->alpha->width(); ++x) a[x] = Pixels::bgra(0, 0, s[4 * x + 3]);
        }
      } else {
        for (int x = 0; x < w; ++x) d[x] = Pixels::bgra(s[3 * x], s[3 * x + 1], s[3 * x + 2]);
      }
    }
  }
  direct = false;
  row_count = 0;
  native->locked_rows = 0;
  pixels_buffer = {};
  canvas_obj = saved_canvas;
  saved_canvas.reset();
}

void C_Bitmap_direct::destroy_hook() {
  // Disposed while locked: the lent rows are dropped, not written back.
  if (direct) unlock(false);
  C_Bitmap::destroy_hook();
}

}  // namespace brek
