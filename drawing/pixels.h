#pragma once
// The program's one in-memory pixel layout: 32 bits per pixel, bytes B, G,
// R, A in memory, rows top-down without padding. Decoders fill it directly
// and the platform paints it without converting pixels (on little-endian
// machines each pixel is the word 0xAARRGGBB).
//
// Alpha: 255 is opaque, 0 fully transparent. Pictures that have no alpha of
// their own (24-bit images) are stored with alpha 255.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "drawing/pixel_memory.h"

namespace brek {

class Pixels {
 public:
  // The largest picture the program allocates: 2^28 pixels (1 GiB of
  // pixels). Larger requests give an empty picture instead of an
  // allocation failure.
  static constexpr int64_t MAX_PIXELS = int64_t(1) << 28;
  static constexpr int MAX_SIDE = 65535;

  Pixels() = default;
  // A width x height picture filled with `fill` (0xAARRGGBB); empty when
  // the size is not positive or too large.
  Pixels(int width, int height, uint32_t fill = 0xFF000000u) { resize(width, height, fill); }
  Pixels(const Pixels& o) { copy_from(o); }
  Pixels(Pixels&& o) noexcept : width_(o.width_), height_(o.height_), block_(o.block_) {
    o.width_ = o.height_ = 0;
    o.block_ = Pixel_memory::Block{};
  }
  Pixels& operator=(const Pixels& o) {
    if (this != &o) copy_from(o);
    return *this;
  }
  Pixels& operator=(Pixels&& o) noexcept {
    if (this != &o) {
      Pixel_memory::release(block_);
      width_ = o.width_;
      height_ = o.height_;
      block_ = o.block_;
      o.width_ = o.height_ = 0;
      o.block_ = Pixel_memory::Block{};
    }
    return *this;
  }
  ~Pixels() { Pixel_memory::release(block_); }

  // Whether width x height may be allocated.
  static bool size_allowed(int64_t width, int64_t height) {
    return width > 0 && height > 0 && width <= MAX_SIDE && height <= MAX_SIDE &&
           width * height <= MAX_PIXELS;
  }

  // Resizes and fills; false (and empty) when the size is not allowed or
  // the memory cannot be had.
  bool resize(int width, int height, uint32_t fill = 0xFF000000u) {
    if (!resize_unfilled(width, height)) return false;
    // Memory fresh from the kernel is already zero.
    if (!(block_.zeroed && fill == 0)) std::fill_n(block_.words, block_.count, fill);
    block_.zeroed = false;
    return true;
  }
  // Resizes without filling, for writers that set every pixel (decoders):
  // the pixels hold anything until then. Memory of the same size is kept.
  bool resize_unfilled(int width, int height) {
    if (!size_allowed(width, height)) {
      clear();
      return false;
    }
    const size_t n = static_cast<size_t>(width) * static_cast<size_t>(height);
    if (block_.count != n) {
      Pixel_memory::release(block_);
      block_ = Pixel_memory::allocate(n);
      if (!block_.words) {
        clear();
        return false;
      }
    } else {
      block_.zeroed = false;
    }
    width_ = width;
    height_ = height;
    return true;
  }
  void clear() {
    width_ = height_ = 0;
    Pixel_memory::release(block_);
  }

  int width() const { return width_; }
  int height() const { return height_; }
  bool empty() const { return block_.count == 0; }
  // Bytes per row.
  int stride() const { return width_ * 4; }

  // Pixel words (0xAARRGGBB, i.e. bytes B,G,R,A in memory).
  uint32_t* row(int y) { return block_.words + static_cast<size_t>(y) * width_; }
  const uint32_t* row(int y) const { return block_.words + static_cast<size_t>(y) * width_; }
  uint32_t* words() { return block_.words; }
  const uint32_t* words() const { return block_.words; }
  uint8_t* bytes() { return reinterpret_cast<uint8_t*>(block_.words); }
  const uint8_t* bytes() const { return reinterpret_cast<const uint8_t*>(block_.words); }

  // Bounds-checked access: reads outside give 0, writes outside do nothing.
  uint32_t at(int x, int y) const {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return 0;
    return block_.words[static_cast<size_t>(y) * width_ + x];
  }
  void set(int x, int y, uint32_t v) {
    if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
    block_.words[static_cast<size_t>(y) * width_ + x] = v;
  }

  // Packs channels into a pixel word.
  static constexpr uint32_t bgra(uint8_t b, uint8_t g, uint8_t r, uint8_t a = 255) {
    return (uint32_t(a) << 24) | (uint32_t(r) << 16) | (uint32_t(g) << 8) | uint32_t(b);
  }
  static constexpr uint8_t red(uint32_t p) { return uint8_t(p >> 16); }
  static constexpr uint8_t green(uint32_t p) { return uint8_t(p >> 8); }
  static constexpr uint8_t blue(uint32_t p) { return uint8_t(p); }
  static constexpr uint8_t alpha(uint32_t p) { return uint8_t(p >> 24); }

  bool operator==(const Pixels& o) const {
    return width_ == o.width_ && height_ == o.height_ &&
           (block_.count == 0 || std::memcmp(block_.words, o.block_.words, block_.count * 4) == 0);
  }

 private:
  int width_ = 0;
  int height_ = 0;
  Pixel_memory::Block block_;

  void copy_from(const Pixels& o) {
    if (o.empty()) {
      clear();
      return;
    }
    if (!resize_unfilled(o.width_, o.height_)) return;
    std::memcpy(block_.words, o.block_.words, block_.count * 4);
    block_.zeroed = false;
  }
};

}  // namespace brek
