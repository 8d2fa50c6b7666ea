// A BMP file read row by row into a picture made small, as a cell's worker
// reads a huge one (a piece of the file at a time): the whole decode
// averaged down the same way, and a failure exactly where the whole decode
// fails.
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/bmp_codec.h"
#include "images/picture_fit.h"

using namespace brek;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (brek_fuzz::dib_too_large(data, size, 14)) return 0;
  Pixels whole;
  const bool ok = Bmp_codec::decode(data, size, whole);
  // A cell's size, or a few pixels (many of the picture's behind each).
  const uint8_t pick = size ? data[size - 1] : 0;
  const int64_t pw = ok ? whole.width() : 1, ph = ok ? whole.height() : 1;
  const int w = int(std::min<int64_t>(pw, pick & 2 ? 3 : 37)), h = int(std::min<int64_t>(ph, pick & 2 ? 2 : 23));
  const Picture_fit::Part part = Picture_fit::part(pw, ph, w, h, pick & 4);
  Picture_shrink rows(part.x0, part.y0, part.x1, part.y1, w, h);
  const Bmp_codec::Read_at read = [&](uint64_t at, uint8_t* into, size_t n) {
    if (at > size || n > size - at) return false;
    std::copy_n(data + at, n, into);
    return true;
  };
  if (Bmp_codec::decode_rows_into(size, read, rows) != ok) __builtin_trap();
  if (!ok) return 0;
  bool alpha = false;
  const Pixels want = Picture_fit::shrink(whole, part, w, h, &alpha);
  if (rows.had_alpha() != alpha || !(rows.take() == want)) __builtin_trap();
  return 0;
}
