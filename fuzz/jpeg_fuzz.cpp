// JPEG decoding at every scale: a malformed file is a failed load or the
// library's error, never a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/jpeg_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const int kFactors[4] = {1, 2, 4, 8};
  int factor = kFactors[size % 4];
  if (brek_fuzz::jpeg_too_large(data, size, factor)) return 0;
  brek::Pixels out;
  try {
    if (brek::Jpeg_codec::decode(data, size, factor, out)) {
      if (out.empty() || out.width() <= 0 || out.height() <= 0) __builtin_trap();
      // Every pixel is written and opaque.
      for (int y = 0; y < out.height(); ++y)
        for (int x = 0; x < out.width(); ++x)
          if (brek::Pixels::alpha(out.row(y)[x]) != 255) __builtin_trap();
    } else if (!out.empty()) {
      __builtin_trap();
    }
  } catch (const brek::E_Jpeg_error&) {
    if (!out.empty()) __builtin_trap();
  }
  return 0;
}
