// BMP files and the bitmaps inside icons: anything malformed is a failed
// load, and what decodes is as large as its header says; averaged down to
// a cell's size, as the fitted read does, it keeps to its colours.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/bmp_codec.h"
#include "images/picture_fit.h"

using brek::Pixels;
namespace Picture_fit = brek::Picture_fit;

namespace {
void check(bool ok, const Pixels& p) {
  if (ok != !p.empty()) __builtin_trap();
  if (ok && !Pixels::size_allowed(p.width(), p.height())) __builtin_trap();
}

// The picture averaged down to at most 37 x 23 (its central part when
// `crop`): of that size, opaque when nothing added was not, each channel
// within the picture's range; at its own size, the picture itself, also
// the colours behind wholly transparent pixels (the whole picture read on
// a worker is this copy).
void check_fitted(const Pixels& p, bool crop) {
  const int w = std::min(37, p.width()), h = std::min(23, p.height());
  bool alpha = false;
  const Pixels got = Picture_fit::shrink(p, Picture_fit::part(p.width(), p.height(), w, h, crop), w, h, &alpha);
  if (got.width() != w || got.height() != h) __builtin_trap();
  uint32_t low = 0xFFFFFFFFu, high = 0, all = 0xFFFFFFFFu;
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x) {
      const uint32_t v = p.row(y)[x];
      all &= v;
      for (int k = 0; k < 32; k += 8) {
        const uint32_t c = (v >> k) & 0xFF;
        if (c < ((low >> k) & 0xFF)) low = (low & ~(0xFFu << k)) | c << k;
        if (c > ((high >> k) & 0xFF)) high = (high & ~(0xFFu << k)) | c << k;
      }
    }
  // Samples may pass over the picture's only translucent pixels.
  if (alpha && (all >> 24) == 0xFF) __builtin_trap();
  const bool same_size = w == p.width() && h == p.height();
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x) {
      const uint32_t v = got.row(y)[x];
      if (same_size) {
        if (v != p.row(y)[x]) __builtin_trap();
        continue;
      }
      if (!alpha && (v >> 24) != 0xFF) __builtin_trap();
      if ((v >> 24) == 0) continue;  // no colour behind it
      for (int k = 0; k < 32; k += 8) {
        const uint32_t c = (v >> k) & 0xFF;
        if (c < ((low >> k) & 0xFF) || c > ((high >> k) & 0xFF)) __builtin_trap();
      }
    }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  brek::Pixels out;
  if (!brek_fuzz::dib_too_large(data, size, 14)) {
    bool ok = brek::Bmp_codec::decode(data, size, out);
    check(ok, out);
    if (ok) {
      // What decoded encodes and decodes again to the same colours.
      std::vector<uint8_t> again = brek::Bmp_codec::encode24(out);
      brek::Pixels back;
      if (!brek::Bmp_codec::decode(again.data(), again.size(), back)) __builtin_trap();
      if (back.width() != out.width() || back.height() != out.height()) __builtin_trap();
      for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
          if ((back.row(y)[x] & 0xFFFFFF) != (out.row(y)[x] & 0xFFFFFF)) __builtin_trap();
      check_fitted(out, size && (data[size - 1] & 1));
    }
  }
  if (!brek_fuzz::dib_too_large(data, size, 0)) {
    check(brek::Bmp_codec::decode_dib(data, size, false, out), out);
    check(brek::Bmp_codec::decode_dib(data, size, true, out), out);
  }
  return 0;
}
