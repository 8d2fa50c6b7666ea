#pragma once
// The parts of BMP decoding that the whole decode (bmp_codec.cpp) and the
// row-by-row read for a picture made small (bmp_rows.cpp) share, so that
// both follow the same rules: the header, how a row of pixels reads, and
// how run-length data walks its rows.

#include <bit>
#include <cstddef>
#include <cstdint>

#include "drawing/pixels.h"
#include "images/load_failure.h"

namespace brek::Bmp_dib {

constexpr uint32_t BI_RGB = 0, BI_RLE8 = 1, BI_RLE4 = 2, BI_BITFIELDS = 3, BI_ALPHABITFIELDS = 6;
constexpr uint32_t OPAQUE_BLACK = 0xFF000000u;
// The most parse_header reads from the header's start: a header of 1024
// bytes, three or four masks after a short one, a palette of 256 entries.
constexpr size_t HEADER_BYTES = 1024 + 16 + 256 * 4;

inline uint32_t le16(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8; }
inline uint32_t le32(const uint8_t* p) { return le16(p) | le16(p + 2) << 16; }

// One channel of a bit-field pixel, scaled to 0..255.
struct Field {
  uint32_t mask = 0;
  int shift = 0;
  uint32_t max = 0;

  explicit Field(uint32_t m = 0) : mask(m) {
    if (!m) return;
    shift = std::countr_zero(m);
    max = m >> shift;
    // Only the lowest contiguous run counts.
    max = (max & (max + 1)) == 0 ? max : (uint32_t(1) << std::countr_one(max)) - 1;
  }
  uint8_t get(uint32_t v) const {
    if (!mask) return 0;
    uint32_t x = (v >> shift) & max;
    return static_cast<uint8_t>((uint64_t(x) * 255 + max / 2) / max);
  }
};

struct Dib {
  int64_t width = 0, height = 0;
  bool top_down = false;
  int bpp = 0;
  uint32_t compression = BI_RGB;
  uint32_t masks[4] = {0, 0, 0, 0};  // red, green, blue, alpha
  bool has_masks = false;
  uint32_t palette[256];
  size_t header_end = 0;  // first byte after header, masks and palette

  bool run_length() const { return compression == BI_RLE4 || compression == BI_RLE8; }
};

// Reads the header, masks and palette of a DIB of `size` bytes at d, of
// which it reads no more than the first HEADER_BYTES.
bool parse_header(const uint8_t* d, size_t size, bool icon, Dib& dib, size_t palette_end, Load_failure* why);

// The file header and the DIB's header of a BMP file image of `size`
// bytes at data, of which it reads no more than the first 14 +
// HEADER_BYTES: the header, and where the picture's bits begin.
bool parse_file(const uint8_t* data, size_t size, Dib& dib, size_t& bits_at, Load_failure* why);

// Bytes of an uncompressed row, with its padding.
inline int64_t row_bytes(int64_t width, int bpp) { return ((width * bpp + 31) / 32) * 4; }

// How an uncompressed row's pixels read: 16 and 32 bits through their bit
// fields, alpha where a mask gives it.
struct Row_format {
  Field fields[4];
  bool use_alpha = false;
};
Row_format row_format(const Dib& dib, bool icon);
// The w pixels of the row at s into o; any_alpha is set by a pixel whose
// alpha is not 0. An alpha channel that is 0 everywhere is an unused one:
// the caller makes such a picture opaque.
void read_row(const Dib& dib, const Row_format& f, const uint8_t* s, uint32_t* o, int w, bool& any_alpha);

// Where run-length data stands: the byte, and the pixel of the row (y
// counts rows in file order).
struct Rle_at {
  size_t pos = 0;
  int64_t x = 0, y = 0;
};

// Runs the commands of row at.y from `at` on, put(x, index) for each of
// its pixels (x may pass the width). True at a command that leaves the
// row, `at` then where the next row's commands start (its y may pass the
// height, and rows a delta jumps over have none); false where the data
// ends: at the end-of-bitmap mark, or where it runs out. `bytes` has
// has(pos, n) and at(pos, n), n bytes from pos.
template <class Bytes, class Put>
bool rle_row(Bytes& bytes, bool four, Rle_at& at, Put put) {
  const int64_t y = at.y;
  while (bytes.has(at.pos, 2)) {
    const uint8_t* command = bytes.at(at.pos, 2);
    const uint8_t n = command[0], c = command[1];
    at.pos += 2;
    if (n) {
      for (int i = 0; i < n; ++i, ++at.x) put(at.x, uint8_t(four ? ((i & 1) ? c & 15 : c >> 4) : c));
      continue;
    }
    if (c == 0) {
      at.x = 0;
      ++at.y;
      return true;
    }
    if (c == 1) return false;
    if (c == 2) {
      if (!bytes.has(at.pos, 2)) return false;
      const uint8_t* delta = bytes.at(at.pos, 2);
      at.x += delta[0];
      at.y += delta[1];
      at.pos += 2;
      if (at.y != y) return true;
      continue;
    }
    const size_t run = four ? (size_t(c) + 1) / 2 : c;
    if (!bytes.has(at.pos, run)) return false;
    const uint8_t* b = bytes.at(at.pos, run);
    for (int i = 0; i < c; ++i, ++at.x) {
      const uint8_t v = b[four ? i / 2 : i];
      put(at.x, uint8_t(four ? ((i & 1) ? v & 15 : v >> 4) : v));
    }
    at.pos += run + (run & 1);
  }
  return false;
}

}  // namespace brek::Bmp_dib
