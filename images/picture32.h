#pragma once
// A 32-bit picture in the drawing layer's pixel layout: rows top first,
// no padding between rows, each pixel one 32-bit value 0xAARRGGBB, so that
// its bytes in memory are blue, green, red, alpha. Decoders fill it
// directly and a bitmap adopts its buffer without converting pixels.
//
// Alpha rule: alpha 0 marks a transparent pixel; a decoder writes 255 for
// every pixel that covers what lies beneath.

#include <bit>
#include <cstdint>
#include <vector>

namespace brek {

static_assert(std::endian::native == std::endian::little,
              "the pixel layout B, G, R, A in memory assumes a little-endian machine");

struct Picture32 {
  // The most pixels one picture may hold: 256 MiB of pixel data.
  static constexpr int64_t MAX_PIXELS = int64_t(1) << 26;

  int64_t width = 0;
  int64_t height = 0;
  std::vector<uint32_t> pixels;  // width * height values, row after row

  bool empty() const { return width <= 0 || height <= 0 || pixels.empty(); }

  // Sizes the picture and fills it with value. False, leaving an empty
  // picture, for a size of 0 or one over MAX_PIXELS.
  bool allocate(int64_t w, int64_t h, uint32_t value);
  void clear();

  uint32_t* row(int64_t y) { return pixels.data() + y * width; }
  const uint32_t* row(int64_t y) const { return pixels.data() + y * width; }
  // The pixel at (x, y); 0 (transparent black) outside the picture.
  uint32_t pixel(int64_t x, int64_t y) const;
  // The pixel bytes (B, G, R, A per pixel), width * 4 bytes a row.
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(pixels.data()); }

  // Fills the part of the rectangle that lies inside the picture.
  void fill_rect(int64_t x, int64_t y, int64_t w, int64_t h, uint32_t value);
};

// The pixel value of a colour of the program (red in the low byte, then
// green, then blue) with the given alpha.
inline uint32_t pixel_from_color(int64_t color, uint32_t alpha) {
  uint32_t c = static_cast<uint32_t>(color);
  return (alpha << 24) | ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
inline uint32_t pixel_from_rgb(uint8_t r, uint8_t g, uint8_t b, uint32_t alpha = 255) {
  return (alpha << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | b;
}

// Clips the rectangle (x, y, w, h) to 0..limit_w x 0..limit_h; false when
// nothing of it is left.
bool clip_rect(int64_t& x, int64_t& y, int64_t& w, int64_t& h, int64_t limit_w, int64_t limit_h);

}  // namespace brek
