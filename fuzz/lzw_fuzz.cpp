// The LZW decoder with every argument from the input: code sizes and depths
// in and out of range, interlacing, any start position, any data, any
// number of kept rows.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "baselib/memory_stream.h"
#include "images/lzw.h"

using brek::C_Lzw;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  bool interlaced = in.ConsumeBool();
  int64_t min_code = in.ConsumeIntegralInRange<int64_t>(0, 10);
  static const int64_t kDepths[] = {1, 4, 8, 2, 0};
  int64_t bits = kDepths[in.ConsumeIntegralInRange<int>(0, 4)];
  // Mostly small pictures, now and then one at or past the limits.
  int64_t height, width;
  if (in.ConsumeIntegralInRange<int>(0, 15) == 0) {
    height = in.ConsumeIntegralInRange<int64_t>(-1, 70000);
    width = in.ConsumeIntegralInRange<int64_t>(-1, 70000);
    if (height * width > 4 * 1024 * 1024) height = width = 70000;  // refused before allocating
  } else {
    height = in.ConsumeIntegralInRange<int64_t>(0, 300);
    width = in.ConsumeIntegralInRange<int64_t>(0, 300);
  }
  int64_t position = in.ConsumeIntegralInRange<int64_t>(-2, 4);
  int64_t kept = in.ConsumeIntegralInRange<int64_t>(-1, 300);
  std::vector<uint8_t> rest = in.ConsumeRemainingBytes<uint8_t>();

  brek::DynAByte rows = C_Lzw::decompress(rest.data(), int64_t(rest.size()), position, interlaced,
                                          min_code, bits, height, width);
  if (!rows.empty() && rows.count() != C_Lzw::row_stride(width, bits) * height) __builtin_trap();

  // Keeping fewer rows keeps exactly the first rows of the whole picture.
  brek::DynAByte first = C_Lzw::decompress(rest.data(), int64_t(rest.size()), position, interlaced,
                                           min_code, bits, height, width, kept);
  if (first.empty() != rows.empty()) __builtin_trap();
  if (!first.empty()) {
    int64_t want = kept >= 1 && kept < height ? kept : height;
    if (first.count() != C_Lzw::row_stride(width, bits) * want) __builtin_trap();
    for (int64_t i = 0; i < first.count(); ++i)
      if (first.data()[i] != rows.data()[i]) __builtin_trap();
  }

  // Into the caller's memory: the same 8-bit rows without their padding,
  // and not a byte written outside width x height.
  if (bits == 8 && !rows.empty()) {
    const int64_t stride = C_Lzw::row_stride(width, 8);
    std::vector<uint8_t> flat(static_cast<size_t>(width * height) + 2, 0xA5);
    if (!C_Lzw::decompress_into(flat.data() + 1, rest.data(), int64_t(rest.size()), position, interlaced,
                                min_code, height, width))
      __builtin_trap();
    if (flat.front() != 0xA5 || flat.back() != 0xA5) __builtin_trap();
    for (int64_t y = 0; y < height; ++y)
      for (int64_t x = 0; x < width; ++x)
        if (flat[static_cast<size_t>(1 + y * width + x)] != rows.data()[y * stride + x]) __builtin_trap();
  }

  // The stream form reads the same bytes from the stream's position.
  auto s = brek::C_Memory_stream_contig::create();
  if (!rest.empty()) s->write_buffer(rest.data(), int64_t(rest.size()));
  s->seek_int64(position < 0 ? 0 : position);
  auto out = C_Lzw::decompress(s, interlaced, min_code, bits, height, width);
  if (out.is_none() != rows.empty()) __builtin_trap();
  if (!out.is_none()) {
    if (out->size_int64() != rows.count()) __builtin_trap();
    for (int64_t i = 0; i < rows.count(); ++i)
      if (out->data.data()[i] != rows.data()[i]) __builtin_trap();
  }
  return 0;
}
