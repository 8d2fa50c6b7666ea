// Icon and cursor files: directory entries pointing anywhere, DIB and PNG
// entries of any size.
#include <cstddef>
#include <cstdint>

#include "fuzz/fuzz_support.h"
#include "images/icon_codec.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (brek_fuzz::icon_too_large(data, size)) return 0;
  brek::Pixels out;
  bool ok = brek::Icon_codec::decode(data, size, out);
  if (ok == out.empty()) __builtin_trap();
  return 0;
}
