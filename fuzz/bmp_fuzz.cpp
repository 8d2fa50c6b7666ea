// BMP files and the bitmaps inside icons: anything malformed is a failed
// load, and what decodes is as large as its header says.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/bmp_codec.h"

namespace {
void check(bool ok, const brek::Pixels& p) {
  if (ok != !p.empty()) __builtin_trap();
  if (ok && !brek::Pixels::size_allowed(p.width(), p.height())) __builtin_trap();
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
    }
  }
  if (!brek_fuzz::dib_too_large(data, size, 0)) {
    check(brek::Bmp_codec::decode_dib(data, size, false, out), out);
    check(brek::Bmp_codec::decode_dib(data, size, true, out), out);
  }
  return 0;
}
