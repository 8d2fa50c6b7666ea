#include "images/lzw_encoder.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "gif_test_support.h"
#include "images/lzw.h"

using brek::C_Lzw;
using brek::DynAByte;
namespace RxGIF = brek::RxGIF;

namespace {

// A decoder that accepts only what a careful encoder writes: a clear code
// first, every code at the width the table calls for, no code beyond the
// table, no entry past 4095, the end code last and nothing after it but
// the zero bits that fill its byte.
struct Strict {
  std::string error;
  std::vector<uint8_t> pixels;
  int min_code_size = 0;
  int clears = 0;
  int widest = 0;
};

Strict strict_decode(const std::vector<uint8_t>& data) {
  Strict r;
  if (data.empty()) return r.error = "no data", r;
  size_t pos = 0;
  const int mcs = data[pos++];
  r.min_code_size = mcs;
  std::vector<uint8_t> bytes;
  for (;;) {
    if (pos >= data.size()) return r.error = "no terminator", r;
    const size_t n = data[pos++];
    if (n == 0) break;
    if (pos + n > data.size()) return r.error = "sub-block runs past the data", r;
    bytes.insert(bytes.end(), data.begin() + std::ptrdiff_t(pos), data.begin() + std::ptrdiff_t(pos + n));
    pos += n;
  }
  if (pos != data.size()) return r.error = "bytes after the terminator", r;

  const int clear = 1 << mcs, end = clear + 1;
  std::vector<int> prefix(4096, -1), suffix(4096, 0), first(4096, 0);
  for (int i = 0; i < clear; ++i) suffix[size_t(i)] = first[size_t(i)] = i;
  int width = mcs + 1, next = clear + 2, prev = -1;
  size_t bit = 0;
  auto read = [&](int w) {
    int v = 0;
    for (int i = 0; i < w; ++i, ++bit) v |= ((bytes[bit / 8] >> (bit % 8)) & 1) << i;
    return v;
  };
  auto emit = [&](int code) {
    std::vector<uint8_t> s;
    for (int c = code; c >= 0; c = prefix[size_t(c)]) s.push_back(uint8_t(suffix[size_t(c)]));
    r.pixels.insert(r.pixels.end(), s.rbegin(), s.rend());
  };
  bool started = false;
  for (;;) {
    if (bit + size_t(width) > bytes.size() * 8) return r.error = "no end code", r;
    r.widest = std::max(r.widest, width);
    const int code = read(width);
    if (!started && code != clear) return r.error = "does not start with a clear code", r;
    started = true;
    if (code == clear) {
      ++r.clears;
      width = mcs + 1, next = clear + 2, prev = -1;
      continue;
    }
    if (code == end) break;
    if (prev < 0) {
      if (code >= clear) return r.error = "a table code right after a clear", r;
      emit(code);
      prev = code;
      continue;
    }
    if (code > next) return r.error = "code " + std::to_string(code) + " beyond the table", r;
    if (next >= 4096) return r.error = "table full without a clear code", r;
    const int f = code == next ? first[size_t(prev)] : first[size_t(code)];
    prefix[size_t(next)] = prev, suffix[size_t(next)] = f, first[size_t(next)] = first[size_t(prev)];
    ++next;
    emit(code);
    prev = code;
    if (next == (1 << width) && width < 12) ++width;
  }
  const size_t rest = bytes.size() * 8 - bit;
  if (rest >= 8) return r.error = "whole bytes after the end code", r;
  if (rest > 0 && read(int(rest)) != 0) return r.error = "padding bits not zero", r;
  return r;
}

std::vector<uint8_t> encode(const std::vector<uint8_t>& px, int64_t w, int64_t h, int bits,
                            bool interlaced = false) {
  std::vector<uint8_t> out;
  RxGIF::lzw_encode(out, px.data(), w, h, bits, interlaced);
  return out;
}

// Runs of equal indexes with a few jumps, like pictures.
std::vector<uint8_t> runs(size_t n, int colours, unsigned seed, int change_one_in = 4) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> v(n);
  uint8_t cur = 0;
  for (auto& b : v) {
    if (rng() % unsigned(change_one_in) == 0) cur = uint8_t(rng() % unsigned(colours));
    b = cur;
  }
  return v;
}

// Rows decoded by the program's reader, without their padding, 8 bits.
std::vector<uint8_t> read_back(const std::vector<uint8_t>& data, int64_t w, int64_t h, bool interlaced = false) {
  DynAByte rows = C_Lzw::decompress(data.data(), int64_t(data.size()), 1, interlaced, data[0], 8, h, w);
  std::vector<uint8_t> v;
  const int64_t stride = C_Lzw::row_stride(w, 8);
  for (int64_t y = 0; y < h; ++y)
    for (int64_t x = 0; x < w; ++x) v.push_back(rows.get(y * stride + x));
  return v;
}

// A one-image GIF file around the data, for giflib.
std::string file_of(const std::vector<uint8_t>& data, int64_t w, int64_t h, int bits, bool interlaced = false) {
  gif_test::Gif_writer g;
  g.header(w, h, gif_test::grey_palette(1 << bits));
  std::string d = ",";
  d += gif_test::le16(0) + gif_test::le16(0) + gif_test::le16(int(w)) + gif_test::le16(int(h));
  d.push_back(interlaced ? 0x40 : 0);
  d.append(data.begin(), data.end());
  return g.raw(d).trailer().bytes();
}

}  // namespace

TEST(LzwEncoder, RoundTripsEveryDepthAndOddSizes) {
  struct Size {
    int64_t w, h;
  };
  for (int bits : {1, 4, 8}) {
    for (Size s : {Size{1, 1}, Size{1, 9}, Size{9, 1}, Size{37, 23}, Size{255, 3}}) {
      SCOPED_TRACE(std::to_string(bits) + " bits, " + std::to_string(s.w) + "x" + std::to_string(s.h));
      auto px = runs(size_t(s.w * s.h), 1 << bits, unsigned(bits * 100 + s.w));
      auto data = encode(px, s.w, s.h, bits);
      Strict r = strict_decode(data);
      ASSERT_EQ(r.error, "");
      EXPECT_EQ(r.min_code_size, bits == 1 ? 2 : bits);
      EXPECT_EQ(r.pixels, px);
      EXPECT_EQ(read_back(data, s.w, s.h), px);
      auto ref = gif_test::giflib_decode(file_of(data, s.w, s.h, bits));
      ASSERT_TRUE(ref.ok);
      for (size_t i = 0; i < px.size(); ++i) ASSERT_EQ(ref.raw[0][i] & 0xFF, uint32_t(gif_test::grey_palette(1 << bits)[px[i]].blue));
    }
  }
}

TEST(LzwEncoder, EveryLengthEndsAtTheWidthTheDecoderReads) {
  // Lengths around each width change, and around the restart of a full
  // table, where the last pixel may fall on the restart itself.
  for (int bits : {1, 4, 8}) {
    auto px = runs(9000, 1 << bits, 7u + unsigned(bits), 1);
    for (size_t n = 1; n <= px.size(); n += (n < 700 ? 1 : 7)) {
      std::vector<uint8_t> part(px.begin(), px.begin() + std::ptrdiff_t(n));
      Strict r = strict_decode(encode(part, int64_t(n), 1, bits));
      ASSERT_EQ(r.error, "") << bits << " bits, " << n << " pixels";
      ASSERT_EQ(r.pixels, part) << bits << " bits, " << n << " pixels";
    }
  }
}

TEST(LzwEncoder, AFullTableRestartsWithAClearCodeAndNeverPassesTwelveBits) {
  // Noise fills the table every few thousand pixels; one long run of a
  // single colour fills it with ever longer strings.
  auto noise = runs(200 * 200, 256, 3, 1);
  Strict r = strict_decode(encode(noise, 200, 200, 8));
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.pixels, noise);
  EXPECT_GT(r.clears, 5);
  EXPECT_EQ(r.widest, 12);

  std::vector<uint8_t> solid(4000 * 2000, 7);
  auto data = encode(solid, 4000, 2000, 8);
  r = strict_decode(data);
  ASSERT_EQ(r.error, "");
  EXPECT_EQ(r.pixels, solid);
  EXPECT_EQ(r.clears, 2);  // the first, and one restart
  EXPECT_EQ(read_back(data, 4000, 2000), solid);
}

TEST(LzwEncoder, InterlacedRowsGoInFourPasses) {
  for (int64_t h : {1, 2, 3, 4, 5, 8, 9, 17}) {
    const int64_t w = 5;
    std::vector<uint8_t> px(size_t(w * h));
    for (int64_t y = 0; y < h; ++y)
      for (int64_t x = 0; x < w; ++x) px[size_t(y * w + x)] = uint8_t(y * 10 + x);
    auto data = encode(px, w, h, 8, true);
    // The stream holds the rows in pass order.
    std::vector<uint8_t> order;
    for (int64_t start : {0, 4, 2, 1})
      for (int64_t y = start; y < h; y += (start == 0 ? 8 : start == 4 ? 8 : start == 2 ? 4 : 2))
        order.insert(order.end(), px.begin() + y * w, px.begin() + (y + 1) * w);
    EXPECT_EQ(strict_decode(data).pixels, order) << "height " << h;
    EXPECT_EQ(read_back(data, w, h, true), px) << "height " << h;
    auto ref = gif_test::giflib_decode(file_of(data, w, h, 8, true));
    ASSERT_TRUE(ref.ok);
    for (size_t i = 0; i < px.size(); ++i) ASSERT_EQ(ref.raw[0][i] & 0xFF, px[i]) << "height " << h;
  }
}

TEST(LzwEncoder, IndexBitsAboveTheDepthAreIgnoredAndProgressReachesAll) {
  std::vector<uint8_t> px = {0, 1, 2, 3, 0xFE, 0xFF};
  EXPECT_EQ(strict_decode(encode(px, 3, 2, 1)).pixels, (std::vector<uint8_t>{0, 1, 0, 1, 0, 1}));
  EXPECT_EQ(strict_decode(encode(px, 3, 2, 4)).pixels, (std::vector<uint8_t>{0, 1, 2, 3, 14, 15}));

  std::vector<int64_t> seen;
  std::vector<uint8_t> out;
  std::vector<uint8_t> rows(4 * 3, 1);
  RxGIF::lzw_encode(out, rows.data(), 4, 3, 8, false, [&](int64_t p) { seen.push_back(p); });
  EXPECT_EQ(seen, (std::vector<int64_t>{33, 66, 100}));
}
