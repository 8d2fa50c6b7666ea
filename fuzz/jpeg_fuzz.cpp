// JPEG decoding at every scale, by one decoder or with a second taking
// over at a restart marker, and of a part of the picture: a malformed file
// is a failed load or the library's error, never a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/jpeg_codec.h"

namespace {

// Every pixel is written and opaque.
void check_opaque(const brek::Pixels& p) {
  if (p.empty() || p.width() <= 0 || p.height() <= 0) __builtin_trap();
  for (int y = 0; y < p.height(); ++y)
    for (int x = 0; x < p.width(); ++x)
      if (brek::Pixels::alpha(p.row(y)[x]) != 255) __builtin_trap();
}

void decode_part(const uint8_t* data, size_t size) {
  const brek::Jpeg_codec::Part want{int64_t(size % 37), int64_t(size % 29), 40, 24};
  brek::Pixels part;
  brek::Jpeg_codec::Part got;
  try {
    if (brek::Jpeg_codec::decode_part(data, size, want, part, got)) {
      check_opaque(part);
      if (got.w != part.width() || got.h != part.height() || got.x > want.x || got.y > want.y) __builtin_trap();
    } else if (!part.empty()) {
      __builtin_trap();
    }
  } catch (const brek::E_Jpeg_error&) {
    if (!part.empty()) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int kFactors[4] = {1, 2, 4, 8};
  int factor = kFactors[size % 4];
  if (brek_fuzz::jpeg_too_large(data, size, factor)) return 0;
  // Small pictures too may be split.
  const int64_t split_pixels = (size / 4) % 2 ? 1 : brek::Jpeg_codec::SPLIT_PIXELS;
  brek::Pixels out;
  try {
    if (brek::Jpeg_codec::decode(data, size, factor, out, split_pixels))
      check_opaque(out);
    else if (!out.empty())
      __builtin_trap();
  } catch (const brek::E_Jpeg_error&) {
    if (!out.empty()) __builtin_trap();
  }
  if (!brek_fuzz::jpeg_too_large(data, size, 1)) decode_part(data, size);
  return 0;
}
